#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "params/enumerations.h"
#include "params/plugin_resources.h"
#include "params/settings_table.h"
#include "params/golden_resources.h"

using namespace lumenfall;

namespace {

std::vector<uint8_t> fromHex(const char* hex) {
    std::vector<uint8_t> out;
    for (const char* p = hex; p[0] && p[1]; p += 2) out.push_back(uint8_t(std::stoi(std::string(p, 2), nullptr, 16)));
    return out;
}

// Reads the AETE back, independently of the writer.
struct Reader {
    const std::vector<uint8_t>& d;
    size_t at = 0;
    bool overrun = false;
    uint8_t u8() {
        if (at >= d.size()) {
            overrun = true;
            return 0;
        }
        return d[at++];
    }
    // Separate statements: the order in which operands of | are evaluated is unspecified.
    uint16_t u16() {
        uint16_t low = u8();
        return uint16_t(low | u8() << 8);
    }
    uint32_t u32() {
        uint32_t low = u16();
        return low | uint32_t(u16()) << 16;
    }
    std::string pascal() {
        size_t n = u8();
        std::string s;
        for (size_t i = 0; i < n; ++i) s += char(u8());
        return s;
    }
};

}  // namespace

TEST(PluginResources, PiplEqualsTheReferenceBytes) {
    std::vector<uint8_t> pipl = buildPipl();
    ASSERT_EQ(pipl.size(), 342u);
    EXPECT_EQ(pipl, fromHex(kGoldenPipl));
}

TEST(PluginResources, PiplPropertiesArePaddedAndCarryThePaddedLength) {
    std::vector<uint8_t> pipl = buildPipl();
    Reader r{pipl};
    EXPECT_EQ(r.u16(), 1);
    EXPECT_EQ(r.u32(), 0u);
    uint32_t count = r.u32();
    ASSERT_EQ(count, 9u);
    std::vector<std::string> keys;
    for (uint32_t i = 0; i < count; ++i) {
        EXPECT_EQ(r.u32(), 0x3842494Du);  // '8BIM'
        uint32_t key = r.u32();
        keys.push_back({char(key >> 24), char(key >> 16), char(key >> 8), char(key)});
        EXPECT_EQ(r.u32(), 0u);
        uint32_t length = r.u32();
        EXPECT_EQ(length % 4, 0u) << keys.back();
        r.at += length;
    }
    EXPECT_EQ(r.at, pipl.size());
    EXPECT_EQ(keys, (std::vector<std::string>{"kind", "name", "catg", "vers", "8664", "hstm", "mode",
                                              "enbl", "fici"}));
    // The enable expression keeps its trailing space before the terminator.
    std::string text(reinterpret_cast<const char*>(pipl.data()), pipl.size());
    EXPECT_NE(text.find("Gray16Mode) \0", 0, 13), std::string::npos);
}

TEST(PluginResources, AeteHeaderEqualsTheReferenceUpToTheParameterCount) {
    std::vector<uint8_t> aete = buildAete();
    std::vector<uint8_t> golden = fromHex(kGoldenAeteHeader);
    ASSERT_GT(aete.size(), golden.size() + 2);
    EXPECT_EQ(std::vector<uint8_t>(aete.begin(), aete.begin() + golden.size()), golden);
    EXPECT_EQ(aete[golden.size()], 49);
    EXPECT_EQ(aete[golden.size() + 1], 0);
}

TEST(PluginResources, AeteDecodesToTheSettingsTableAndEnumerations) {
    std::vector<uint8_t> aete = buildAete();
    Reader r{aete};
    r.at = std::strlen(kGoldenAeteHeader) / 2;
    ASSERT_EQ(r.u16(), 49);
    const SettingInfo* table = settingsTable();
    for (int i = 0; i < 49; ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(r.pascal(), table[i].name);
        EXPECT_EQ(r.u32(), table[i].key);
        EXPECT_EQ(r.u32(), table[i].aeteType);
        EXPECT_EQ(r.pascal(), "");
        bool enumerated = i == 34 || i == 35;  // sun type, glue
        EXPECT_EQ(r.u16(), enumerated ? 0xA000 : 0x8000);
    }
    EXPECT_EQ(r.u16(), 0);  // classes
    EXPECT_EQ(r.u16(), 0);  // comparison operators
    ASSERT_EQ(r.u16(), 2);
    for (uint32_t type : {kEnumTypeSunType, kEnumTypeGlue}) {
        EXPECT_EQ(r.u32(), type);
        int count = 0;
        const EnumEntry* entries = enumEntries(type, &count);
        ASSERT_EQ(r.u16(), count);
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(r.pascal(), entries[i].name);
            EXPECT_EQ(r.u32(), entries[i].code);
            EXPECT_EQ(r.pascal(), "");
        }
    }
    EXPECT_FALSE(r.overrun);
    EXPECT_EQ(r.at, aete.size());  // no trailing padding
}

TEST(PluginResources, AeteSpotChecksAndTotalSize) {
    std::vector<uint8_t> aete = buildAete();
    std::string text(reinterpret_cast<const char*>(aete.data()), aete.size());
    // "spike detail " with its space, key '0041' stored as "1400", type 'long' as "gnol".
    EXPECT_NE(text.find(std::string("\x0dspike detail 1400gnol\0\x00\x80", 25)), std::string::npos);
    EXPECT_NE(text.find(std::string("\x04glueykgsytgs\0\x00\xa0", 16)), std::string::npos);
    EXPECT_NE(text.find(std::string("\x08Y center1500buod\0\x00\x80", 20)), std::string::npos);
    EXPECT_NE(text.find(std::string("\x09pin light91gs\0", 15)), std::string::npos);
    // Size by hand: header 10; suite 1+8 + 1+9 + 4+2+2+2 = 29; event 1+9 + 1+18
    // + class, id, reply 12 + reply text 1 + flags 2 + direct type 4 + text 1
    // + flags 2 + count 2 = 53; 49 parameters of 12 fixed bytes plus 511 name
    // characters = 1099; class, comparison and enumeration counts 6; 'suty'
    // 6 + 3 * 6 + 17 = 41; 'sgty' 6 + 19 * 6 + 156 = 276.
    EXPECT_EQ(aete.size(), 10u + 29 + 53 + 1099 + 6 + 41 + 276);
}
