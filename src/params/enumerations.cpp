#include "params/enumerations.h"
#include "params/byte_order.h"

#include <cstring>

namespace lumenfall {
namespace {

constexpr uint32_t code4(const char (&s)[5]) { return fourCharCode(s); }

const EnumEntry kSunTypes[] = {
    {1, code4("su01"), "normal"},
    {2, code4("su02"), "flat"},
    {3, code4("su03"), "eclipse"},
};

const EnumEntry kGlueModes[] = {
    {1, code4("sg01"), "normal"},        {2, code4("sg02"), "procedural +"},
    {3, code4("sg03"), "procedural -"},  {4, code4("sg04"), "difference"},
    {5, code4("sg05"), "lighten"},       {6, code4("sg06"), "darken"},
    {7, code4("sg07"), "add"},           {8, code4("sg08"), "subtract"},
    {9, code4("sg09"), "multiply"},      {10, code4("sg10"), "screen"},
    {11, code4("sg11"), "composite"},    {12, code4("sg12"), "hard light"},
    {13, code4("sg13"), "overlay"},      {14, code4("sg14"), "superlay"},
    {15, code4("sg15"), "exclusion"},    {16, code4("sg16"), "color"},
    {17, code4("sg17"), "luminance"},    {18, code4("sg18"), "linear light"},
    {19, code4("sg19"), "pin light"},
};

}  // namespace

const EnumEntry* enumEntries(uint32_t type, int* count) {
    if (type == kEnumTypeSunType) {
        *count = 3;
        return kSunTypes;
    }
    if (type == kEnumTypeGlue) {
        *count = 19;
        return kGlueModes;
    }
    *count = 0;
    return nullptr;
}

uint32_t enumIndexToCode(uint32_t type, int32_t index) {
    int count = 0;
    const EnumEntry* entries = enumEntries(type, &count);
    if (!entries || index < 1 || index > count) return kCodeNone;
    return entries[index - 1].code;
}

bool enumCodeToIndex(uint32_t type, uint32_t code, int32_t* index) {
    int count = 0;
    const EnumEntry* entries = enumEntries(type, &count);
    for (int i = 0; i < count; ++i) {
        if (entries[i].code == code) {
            *index = entries[i].index;
            return true;
        }
    }
    *index = 0;
    return false;
}

const char* enumIndexName(uint32_t type, int32_t index) {
    int count = 0;
    const EnumEntry* entries = enumEntries(type, &count);
    if (!entries || index < 1 || index > count) return nullptr;
    return entries[index - 1].name;
}

int32_t enumIndexFromText(uint32_t type, const char* text) {
    if (!text) return 0;
    int count = 0;
    const EnumEntry* entries = enumEntries(type, &count);
    for (int i = 0; i < count; ++i) {
        if (std::strcmp(entries[i].name, text) == 0) return entries[i].index;
        if (std::strlen(text) == 4 && code4({text[0], text[1], text[2], text[3], 0}) == entries[i].code)
            return entries[i].index;
    }
    return 0;
}

}  // namespace lumenfall
