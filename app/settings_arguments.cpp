#include "settings_arguments.h"
#include "params/byte_order.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "params/enumerations.h"
#include "params/settings_table.h"

namespace lumenfall {
namespace {

std::string trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The terminology name "spike detail " ends in a space; people type it without.
const SettingInfo* findByTypedName(const std::string& name) {
    if (const SettingInfo* s = findSettingByName(name.c_str())) return s;
    const SettingInfo* table = settingsTable();
    for (int i = 0; i < kSettingCount; ++i)
        if (trim(table[i].name) == name) return &table[i];
    return nullptr;
}

bool parseInteger(const std::string& text, int64_t* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != 0 || v < INT32_MIN || v > INT32_MAX) return false;
    *value = v;
    return true;
}

bool parseNumber(const std::string& text, double* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (*end != 0 || (errno == ERANGE && std::isinf(v))) return false;
    *value = v;
    return true;
}

uint32_t codeOf(const std::string& text) {
    return readBigEndian32(reinterpret_cast<const uint8_t*>(text.data()));
}

std::string codeText(uint32_t code) {
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i) text[size_t(i)] = char((code >> (24 - 8 * i)) & 0xFF);
    return text;
}

std::string enumChoices(uint32_t type) {
    int count = 0;
    const EnumEntry* entries = enumEntries(type, &count);
    std::string text;
    for (int i = 0; i < count; ++i) text += std::string(i ? ", " : "") + "\"" + entries[i].name + "\"";
    return text;
}

}  // namespace

std::string shortestNumber(double value) {
    // Settings are single-precision in the plug-in: the shortest text that
    // reads back as the same float, when the value is one.
    const bool single = std::isfinite(value) && std::fabs(value) <= double(FLT_MAX) && double(float(value)) == value;
    char text[64];
    for (int digits = 1; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        const double back = std::strtod(text, nullptr);
        if (single ? float(back) == float(value) : back == value) break;
    }
    return text;
}

std::vector<std::string> closeSettingNames(const std::string& name) {
    std::vector<std::pair<size_t, std::string>> scored;
    const std::string wanted = lower(trim(name));
    const SettingInfo* table = settingsTable();
    for (int i = 0; i < kSettingCount; ++i) {
        const std::string candidate = trim(table[i].name);
        const std::string key = lower(candidate);
        const size_t distance = editDistance(wanted, key);
        const bool contains = !wanted.empty() && (key.find(wanted) != std::string::npos || wanted.find(key) != std::string::npos);
        if (distance <= 3 || contains) scored.push_back({contains ? 0 : distance, candidate});
    }
    std::stable_sort(scored.begin(), scored.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> names;
    for (const auto& s : scored) names.push_back(s.second);
    if (names.size() > 6) names.resize(6);
    return names;
}

bool parseSetting(const std::string& text, DescriptorEntry* entry, std::string* error) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos) {
        *error = "--set takes NAME=VALUE, for example --set \"sun radius=60\"";
        return false;
    }
    const std::string name = trim(text.substr(0, eq));
    const std::string value = trim(text.substr(eq + 1));
    const SettingInfo* s = findByTypedName(name);
    if (!s) {
        *error = "unknown setting \"" + name + "\"";
        const auto close = closeSettingNames(name);
        if (!close.empty()) {
            *error += "; did you mean";
            for (size_t i = 0; i < close.size(); ++i) *error += std::string(i ? "," : "") + " \"" + close[i] + "\"";
            *error += "?";
        } else {
            *error += " (see 'lumenfall settings' for the list)";
        }
        return false;
    }
    *entry = DescriptorEntry{};
    entry->key = s->key;
    const std::string display = trim(s->name);
    switch (s->kind) {
        case SettingKind::Colour: {
            int64_t v = 0;
            if (!parseInteger(value, &v) || v < 0 || v > 255) {
                *error = "\"" + display + "\" is a colour channel and takes a whole number from 0 to 255, not \"" +
                         value + "\"";
                return false;
            }
            entry->type = pi::kTypeInteger;
            entry->integer = v;
            return true;
        }
        case SettingKind::Integer: {
            int64_t v = 0;
            if (!parseInteger(value, &v)) {
                *error = "\"" + display + "\" takes a whole number from -2147483648 to 2147483647, not \"" + value + "\"";
                return false;
            }
            entry->type = pi::kTypeInteger;
            entry->integer = v;
            return true;
        }
        case SettingKind::Switch: {
            const std::string v = lower(value);
            entry->type = pi::kTypeBoolean;
            if (v == "on" || v == "true" || v == "1" || v == "yes") entry->integer = 1;
            else if (v == "off" || v == "false" || v == "0" || v == "no") entry->integer = 0;
            else {
                *error = "\"" + display + "\" is a switch: on/off, true/false or 1/0, not \"" + value + "\"";
                return false;
            }
            return true;
        }
        case SettingKind::Axis: {
            double v = 0;
            if (!parseNumber(value, &v) || !std::isfinite(v)) {
                *error = "\"" + display + "\" takes a finite number, not \"" + value + "\"";
                return false;
            }
            entry->type = pi::kTypeFloat;
            entry->number = v;
            return true;
        }
        case SettingKind::SunType:
        case SettingKind::Glue: {
            const uint32_t type = s->kind == SettingKind::Glue ? kEnumTypeGlue : kEnumTypeSunType;
            entry->type = pi::kTypeEnumerated;
            entry->enumType = type;
            const int32_t index = enumIndexFromText(type, lower(value).c_str());
            if (index > 0) {
                entry->integer = enumIndexToCode(type, index);
                return true;
            }
            // Any other four-character code passes to the plug-in as a script could pass it.
            if (value.size() == 4) {
                entry->integer = codeOf(value);
                return true;
            }
            *error = "\"" + display + "\" takes one of " + enumChoices(type) + ", not \"" + value + "\"";
            return false;
        }
    }
    return false;
}

void putSetting(std::vector<DescriptorEntry>* entries, const DescriptorEntry& entry) {
    for (DescriptorEntry& e : *entries)
        if (e.key == entry.key) {
            e = entry;
            return;
        }
    entries->push_back(entry);
}

std::string formatSettings(const std::vector<DescriptorEntry>& entries) {
    std::string out;
    char text[64];
    for (const DescriptorEntry& e : entries) {
        const SettingInfo* s = findSettingByKey(e.key);
        out += s ? trim(s->name) : codeText(e.key);
        out += "=";
        if (e.type == pi::kTypeInteger) {
            std::snprintf(text, sizeof text, "%lld", static_cast<long long>(e.integer));
        } else if (e.type == pi::kTypeBoolean) {
            std::snprintf(text, sizeof text, "%s", e.integer ? "on" : "off");
        } else if (e.type == pi::kTypeFloat) {
            // The fewest digits that read back as the same value ("-0.3").
            std::snprintf(text, sizeof text, "%s", shortestNumber(e.number).c_str());
        } else if (e.type == pi::kTypeEnumerated) {
            const char* name = nullptr;
            int32_t index = 0;
            if (enumCodeToIndex(e.enumType, uint32_t(e.integer), &index)) name = enumIndexName(e.enumType, index);
            std::snprintf(text, sizeof text, "%s", name ? name : codeText(uint32_t(e.integer)).c_str());
        } else {
            std::snprintf(text, sizeof text, "?");
        }
        out += text;
        out += "\n";
    }
    return out;
}

}  // namespace lumenfall
