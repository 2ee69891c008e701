#include "preset_settings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "params/carried_settings.h"
#include "params/defaults.h"
#include "params/enumerations.h"
#include "params/settings_table.h"
#include "preset_library.h"
#include "settings_arguments.h"

namespace lumenfall {

std::vector<DescriptorEntry> descriptorEntriesFromBlock(const ParameterBlock& block) {
    std::vector<DescriptorEntry> entries;
    const SettingInfo* table = settingsTable();
    for (int i = 0; i < kSettingCount; ++i) {
        const SettingInfo& s = table[i];
        const CarriedValue value = readCarriedValue(block, s);
        DescriptorEntry e;
        e.key = s.key;
        e.integer = value.integer;
        e.number = value.number;
        switch (s.kind) {
            case SettingKind::Colour:
            case SettingKind::Integer: e.type = pi::kTypeInteger; break;
            case SettingKind::Switch: e.type = pi::kTypeBoolean; break;
            case SettingKind::Axis: e.type = pi::kTypeFloat; break;
            case SettingKind::SunType:
            case SettingKind::Glue:
                e.type = pi::kTypeEnumerated;
                e.enumType = s.kind == SettingKind::Glue ? kEnumTypeGlue : kEnumTypeSunType;
                break;
        }
        entries.push_back(e);
    }
    return entries;
}

void applyEntryToBlock(const DescriptorEntry& e, ParameterBlock& block) {
    const SettingInfo* s = findSettingByKey(e.key);
    if (s == nullptr) return;
    CarriedValue value;
    value.integer = e.integer;
    value.number = e.number;
    writeCarriedValue(&block, *s, value);
}

namespace {

// The system's reason a file cannot be opened for reading.
std::string whyNotOpened(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return "it is a folder";
    errno = 0;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fclose(f);
        return "not a plain file";
    }
    return errno != 0 ? std::strerror(errno) : "unreadable";
}

}  // namespace

bool loadPresetForCommand(const std::string& path, ParameterBlock* block, PresetLoadReport* report,
                          std::string* error, const PresetThumbnailSink* sink) {
    std::memset(block, 0, sizeof(ParameterBlock));
    initialiseParameterBlock(*block);
    const int32_t result = loadPresetFile(block, path.c_str(), kReadSettings, sink, report);
    if (result == kPresetCannotOpen) {
        *error = "cannot open the preset " + path + " (" + whyNotOpened(path) + ")";
        return false;
    }
    if (report->version < 1 || report->version > 40) {
        *error = path + " is not a preset file (" +
                 (report->valuesRead == 0 ? std::string("it is too short to hold a version")
                                          : "it starts with " + std::to_string(report->version) +
                                                ", not a preset version from 1 to 40") +
                 ")";
        return false;
    }
    if (result != kPresetOk) {
        *error = "the preset " + path + " is damaged or cut short (read " + std::to_string(report->valuesRead) +
                 " values of a version-" + std::to_string(report->version) + " file)";
        return false;
    }
    return true;
}

bool addPresetSettings(const std::string& path, std::vector<DescriptorEntry>* entries, std::string* error) {
    auto block = std::make_unique<ParameterBlock>();
    PresetLoadReport report;
    if (!loadPresetForCommand(resolvePresetArgument(path), block.get(), &report, error)) return false;
    std::vector<DescriptorEntry> merged = descriptorEntriesFromBlock(*block);
    for (const DescriptorEntry& e : *entries) putSetting(&merged, e);
    *entries = merged;
    return true;
}

}  // namespace lumenfall
