#include <cstdio>
#include <string>
#include <vector>

#include "command_line.h"
#include "params/enumerations.h"
#include "params/settings_table.h"

namespace lumenfall {

// Lists every setting with its key, kind and default, for --set.
int runSettingsCommand(const std::vector<std::string>& args) {
    if (!args.empty()) {
        if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
            std::printf("Usage: lumenfall settings\nLists every setting --set accepts, with its default.\n");
            return kExitSuccess;
        }
        std::fprintf(stderr, "lumenfall settings: unexpected %s\nTry 'lumenfall settings --help'.\n", args[0].c_str());
        return kExitUsage;
    }
    const SettingInfo* table = settingsTable();
    std::printf("%-20s %-5s %-10s %s\n", "NAME", "KEY", "KIND", "DEFAULT");
    for (int i = 0; i < kSettingCount; ++i) {
        const SettingInfo& s = table[i];
        std::string name = s.name;
        while (!name.empty() && name.back() == ' ') name.pop_back();
        char key[5] = {char(s.key >> 24), char(s.key >> 16), char(s.key >> 8), char(s.key), 0};
        const char* kind = "";
        std::string value;
        char text[32];
        switch (s.kind) {
            case SettingKind::Colour: kind = "colour"; break;
            case SettingKind::Integer: kind = "integer"; break;
            case SettingKind::Switch: kind = "switch"; break;
            case SettingKind::Axis: kind = "number"; break;
            case SettingKind::SunType: kind = "sun type"; break;
            case SettingKind::Glue: kind = "glue"; break;
        }
        if (s.kind == SettingKind::Glue) value = enumIndexName(kEnumTypeGlue, int32_t(s.defaultValue));
        else if (s.kind == SettingKind::SunType) value = enumIndexName(kEnumTypeSunType, int32_t(s.defaultValue));
        else if (s.kind == SettingKind::Switch) value = s.defaultValue != 0 ? "on" : "off";
        else {
            std::snprintf(text, sizeof text, "%g", s.defaultValue);
            value = text;
        }
        std::printf("%-20s %-5s %-10s %s\n", name.c_str(), key, kind, value.c_str());
    }
    std::printf("\nColours are 0..255 per channel; sliders run 0..100 in the dialog. Glue modes:");
    int count = 0;
    const EnumEntry* glue = enumEntries(kEnumTypeGlue, &count);
    for (int i = 0; i < count; ++i) std::printf("%s \"%s\"", i ? "," : "", glue[i].name);
    std::printf(". Sun types: \"normal\", \"flat\", \"eclipse\".\n");
    return kExitSuccess;
}

}  // namespace lumenfall
