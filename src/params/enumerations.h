// The two enumerations of the terminology (sun type `suty`, glue `sgty`):
// index <-> four-character code <-> name.
#ifndef LUMENFALL_PARAMS_ENUMERATIONS_H
#define LUMENFALL_PARAMS_ENUMERATIONS_H

#include <cstdint>

namespace lumenfall {

constexpr uint32_t kEnumTypeSunType = 0x73757479;  // 'suty'
constexpr uint32_t kEnumTypeGlue = 0x73677479;     // 'sgty'
constexpr uint32_t kCodeNone = 0x3C4E4F3E;         // '<NO>'

struct EnumEntry {
    int32_t index;
    uint32_t code;
    const char* name;
};

// Entries of an enumeration type; count set to the number of entries.
// Unknown types give nullptr and count 0.
const EnumEntry* enumEntries(uint32_t type, int* count);

// Index to code; any index outside the table gives '<NO>'.
uint32_t enumIndexToCode(uint32_t type, int32_t index);

// Code to index; an unknown code or type gives 0 and returns false.
bool enumCodeToIndex(uint32_t type, uint32_t code, int32_t* index);

// Name of an index ("screen"), or nullptr outside the table.
const char* enumIndexName(uint32_t type, int32_t index);

// Index of a name ("eclipse") or of a code written as text ("sg10"); 0 when unknown.
int32_t enumIndexFromText(uint32_t type, const char* text);

}  // namespace lumenfall

#endif
