// Settings between a parameter block and descriptor entries, as the
// plug-in's own descriptor code carries them (params/carried_settings.h).
#ifndef LUMENFALL_APP_PRESET_SETTINGS_H
#define LUMENFALL_APP_PRESET_SETTINGS_H

#include <string>
#include <vector>

#include "descriptor_host.h"
#include "params/parameter_block.h"
#include "params/preset_format.h"

namespace lumenfall {

// One entry per scriptable setting, in key-list order.
std::vector<DescriptorEntry> descriptorEntriesFromBlock(const ParameterBlock& block);

// Applies one entry as the plug-in would read it; unknown keys are ignored.
void applyEntryToBlock(const DescriptorEntry& entry, ParameterBlock& block);

// A block at its defaults, then the preset at `path` read in mode 0 (as the
// dialog's Open does). False with a message when the file cannot be opened
// or read completely.
bool loadPresetForCommand(const std::string& path, ParameterBlock* block, PresetLoadReport* report,
                          std::string* error, const PresetThumbnailSink* sink = nullptr);

// Puts the settings of the preset at `path` in front of `entries`: entries
// already there (from --set) win over the preset's.
bool addPresetSettings(const std::string& path, std::vector<DescriptorEntry>* entries, std::string* error);

}  // namespace lumenfall

#endif
