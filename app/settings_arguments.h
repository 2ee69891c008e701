// Settings on the command line: "NAME=VALUE" pairs by scripting name, turned
// into descriptor entries, and recorded descriptors printed back in the
// same syntax.
#ifndef LUMENFALL_APP_SETTINGS_ARGUMENTS_H
#define LUMENFALL_APP_SETTINGS_ARGUMENTS_H

#include <string>
#include <vector>

#include "descriptor_host.h"

namespace lumenfall {

// Parses one --set argument. On failure returns false with a message that
// names the close matches of an unknown name.
bool parseSetting(const std::string& text, DescriptorEntry* entry, std::string* error);

// Adds or replaces the entry for its key (a later --set wins).
void putSetting(std::vector<DescriptorEntry>* entries, const DescriptorEntry& entry);

// One "NAME=VALUE" line per entry, in the order given.
std::string formatSettings(const std::vector<DescriptorEntry>& entries);

// The fewest digits that read back as the same value: as a float when the
// value is one ("-0.3" for -0.3f), else as a double.
std::string shortestNumber(double value);

// Scripting names within a small edit distance of `name`.
std::vector<std::string> closeSettingNames(const std::string& name);

}  // namespace lumenfall

#endif
