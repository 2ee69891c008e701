// The 49 scriptable settings in one table: scripting name, key, terminology
// type, field and default. Defaults, the descriptor code, the command line
// and the terminology resource are all generated from this table so that
// they cannot drift apart.
#ifndef LUMENFALL_PARAMS_SETTINGS_TABLE_H
#define LUMENFALL_PARAMS_SETTINGS_TABLE_H

#include <cstddef>
#include <cstdint>

#include "params/parameter_block.h"

namespace lumenfall {

// How a setting is stored in the block and carried by a descriptor.
enum class SettingKind {
    Colour,    // uint16 channel = 8-bit value * 256; descriptor integer (high byte)
    Integer,   // int32; descriptor integer
    Switch,    // int32 read through its low byte; descriptor boolean
    Axis,      // float; descriptor double
    SunType,   // int32 index 1..3; descriptor enumeration `suty`
    Glue,      // int32 index 1..19; descriptor enumeration `sgty`
};

struct SettingInfo {
    int number;             // 1..49, the order of the table and of the key list
    const char* name;       // terminology name ("spike detail " keeps its space)
    uint32_t key;           // descriptor key
    uint32_t aeteType;      // type published in the terminology resource
    SettingKind kind;
    size_t offset;          // field offset in ParameterBlock
    double defaultValue;    // 8-bit value for colours, index for enumerations
    int sliderMin;          // dialog range
    int sliderMax;
};

constexpr int kSettingCount = 49;

// The table in key-list order.
const SettingInfo* settingsTable();

// Lookup by terminology name (exact, case-sensitive) or key; nullptr when unknown.
const SettingInfo* findSettingByName(const char* name);
const SettingInfo* findSettingByKey(uint32_t key);

// Typed access to a setting's field.
uint16_t* colourField(ParameterBlock& block, const SettingInfo& s);
int32_t* intField(ParameterBlock& block, const SettingInfo& s);
float* floatField(ParameterBlock& block, const SettingInfo& s);
const uint16_t* colourField(const ParameterBlock& block, const SettingInfo& s);
const int32_t* intField(const ParameterBlock& block, const SettingInfo& s);
const float* floatField(const ParameterBlock& block, const SettingInfo& s);

}  // namespace lumenfall

#endif
