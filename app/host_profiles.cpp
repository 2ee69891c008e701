#include "host_profiles.h"

namespace lumenfall {

const std::vector<HostProfile>& hostProfiles() {
    static const std::vector<HostProfile> profiles = {
        {"quirky-handles", "the handle suite answers size 0 for its own handles and its set-size does nothing",
         [](HostOptions& o) { o.quirkyHandles = true; }, true, true},
        {"host-loops", "the host delivers the requested rectangles itself before every continue",
         [](HostOptions& o) { o.hostAdvancesBeforeContinue = true; }, true, true},
        {"minimal",
         "no handle, buffer or descriptor suites (null procedures), no colour services, no displayPixels, "
         "maxSpace and bufferSpace 2^31 - 1",
         [](HostOptions& o) {
             o.handleSuite = HandleSuiteKind::None;
             o.offerBufferSuite = false;
             o.offerDisplayPixels = false;
             o.minimalServices = true;
             o.descriptor.nullProcedures = true;
         },
         false, true},
        {"dialog-every-run", "the parameters selector before every run, a fresh data slot and parameter block each time",
         [](HostOptions& o) {
             o.showDialog = true;
             o.freshDataEveryRun = true;
         },
         true, true},
        {"no-parameters-selector", "start without a parameters selector, even when a dialog is asked for",
         [](HostOptions& o) { o.showDialog = false; }, true, true},
        {"prepare-twice", "prepare is called twice before start",
         [](HostOptions& o) { o.prepareTwice = true; }, true, true},
        {"cancel-after-start", "the user cancels after start: finish without any continue",
         [](HostOptions& o) { o.cancelAfterStart = true; }, true, false},
    };
    return profiles;
}

const HostProfile* findHostProfile(const std::string& name) {
    for (const HostProfile& p : hostProfiles())
        if (name == p.name) return &p;
    return nullptr;
}

std::string hostProfileNames() {
    std::string names;
    for (const HostProfile& p : hostProfiles()) {
        if (!names.empty()) names += ", ";
        names += p.name;
    }
    return names;
}

}  // namespace lumenfall
