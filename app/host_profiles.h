// Host profiles: our host behaving as families of other hosts do, so that the
// plug-in is tested against the ways real hosts follow the standard loosely.
#ifndef LUMENFALL_APP_HOST_PROFILES_H
#define LUMENFALL_APP_HOST_PROFILES_H

#include <string>
#include <vector>

#include "plugin_host.h"

namespace lumenfall {

struct HostProfile {
    const char* name;
    const char* summary;
    void (*apply)(HostOptions& options);
    bool passesSettings;   // --set values reach the plug-in
    bool completesRun;     // a run renders the picture
};

const std::vector<HostProfile>& hostProfiles();

// Null when no profile has that name.
const HostProfile* findHostProfile(const std::string& name);

// "quirky-handles, host-loops, ..." for messages.
std::string hostProfileNames();

}  // namespace lumenfall

#endif
