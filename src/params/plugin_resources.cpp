#include "params/plugin_resources.h"
#include "params/byte_order.h"

#include <cstring>

#include "params/enumerations.h"
#include "params/settings_table.h"
#include "product_version.h"

namespace lumenfall {
namespace {

constexpr uint32_t code4(const char (&s)[5]) { return fourCharCode(s); }

// Appends little-endian integers and strings. Four-character codes are
// 32-bit integers on Windows, so 'kind' appears as the bytes "dnik".
class ByteWriter {
public:
    explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}
    void u8(uint8_t v) { out_.push_back(v); }
    void u16(uint16_t v) {
        u8(uint8_t(v));
        u8(uint8_t(v >> 8));
    }
    void u32(uint32_t v) {
        u16(uint16_t(v));
        u16(uint16_t(v >> 16));
    }
    void bytes(const char* s, size_t n) { out_.insert(out_.end(), s, s + n); }
    // Length byte and characters; longer strings are cut at 255 characters,
    // the most a length byte can say.
    void pascal(const char* s) {
        size_t n = std::strlen(s);
        if (n > 255) n = 255;
        u8(uint8_t(n));
        bytes(s, n);
    }
    void cString(const char* s) { bytes(s, std::strlen(s) + 1); }

private:
    std::vector<uint8_t>& out_;
};

// ---- PiPL ---------------------------------------------------------------

constexpr uint32_t kVendorPhotoshop = code4("8BIM");
constexpr uint32_t kKindFilter = code4("8BFM");

constexpr uint8_t kModeFlagGrayScale = 0x40;  // first byte of the mode flag set
constexpr uint8_t kModeFlagRGB = 0x10;

constexpr uint8_t kHandlingStraight = 1;
constexpr uint8_t kFlagDontCopyToDestination = 0x01;
constexpr uint8_t kFlagWorksWithBlankData = 0x02;

// One property: header, then the data padded with zeros to a multiple of 4.
// The stored length includes the padding, as hosts skip by the rounded-up
// length either way.
void writeProperty(ByteWriter& w, std::vector<uint8_t>& out, uint32_t key,
                   const std::vector<uint8_t>& data) {
    std::vector<uint8_t> padded = data;
    while (padded.size() % 4 != 0) padded.push_back(0);
    w.u32(kVendorPhotoshop);
    w.u32(key);
    w.u32(0);  // property id
    w.u32(uint32_t(padded.size()));
    out.insert(out.end(), padded.begin(), padded.end());
}

// Strings always get at least one terminating zero before the padding.
std::vector<uint8_t> pascalData(const char* s) {
    std::vector<uint8_t> d;
    ByteWriter w(d);
    w.pascal(s);
    w.u8(0);
    return d;
}

std::vector<uint8_t> cStringData(const char* s) {
    std::vector<uint8_t> d;
    ByteWriter(d).cString(s);
    return d;
}

std::vector<uint8_t> u32Data(uint32_t v) {
    std::vector<uint8_t> d;
    ByteWriter(d).u32(v);
    return d;
}

std::vector<uint8_t> terminologyData() {
    std::vector<uint8_t> d;
    ByteWriter w(d);
    w.u32(0);  // version
    w.u32(kSuiteCode);  // class
    w.u32(kSuiteCode);  // event
    w.u16(uint16_t(kPluginResourceId));
    w.cString(kTerminologyScope);
    return d;
}

std::vector<uint8_t> filterCaseData() {
    std::vector<uint8_t> d;
    for (int filterCase = 1; filterCase <= 7; ++filterCase) {
        // Flat image, flat with selection, floating selection: the source is
        // not copied; the four transparency cases also accept blank data.
        uint8_t flags = filterCase <= 3 ? kFlagDontCopyToDestination
                                        : uint8_t(kFlagDontCopyToDestination | kFlagWorksWithBlankData);
        d.push_back(kHandlingStraight);
        d.push_back(kHandlingStraight);
        d.push_back(flags);
        d.push_back(0);
    }
    return d;
}

// ---- AETE -----------------------------------------------------------------

constexpr uint32_t kTypeNull = code4("null");
constexpr uint32_t kTypeImageReference = code4("#ImR");

void writeEnumeration(ByteWriter& w, uint32_t type) {
    int count = 0;
    const EnumEntry* entries = enumEntries(type, &count);
    w.u32(type);
    w.u16(uint16_t(count));
    for (int i = 0; i < count; ++i) {
        w.pascal(entries[i].name);
        w.u32(entries[i].code);
        w.pascal("");
    }
}

}  // namespace

std::vector<uint8_t> buildPipl() {
    std::vector<uint8_t> out;
    ByteWriter w(out);
    w.u16(1);  // a Windows PiPL resource starts with the word 1
    w.u32(0);  // list version
    w.u32(9);  // property count
    writeProperty(w, out, code4("kind"), u32Data(kKindFilter));
    writeProperty(w, out, code4("name"), pascalData(kPluginMenuName));
    writeProperty(w, out, code4("catg"), pascalData(kPluginCategory));
    writeProperty(w, out, code4("vers"), u32Data(uint32_t(LF_PLUGIN_VERSION_MAJOR) << 16 | LF_PLUGIN_VERSION_MINOR));
    writeProperty(w, out, code4("8664"), cStringData(kPluginEntryPoint));
    writeProperty(w, out, code4("hstm"), terminologyData());
    writeProperty(w, out, code4("mode"), {uint8_t(kModeFlagGrayScale | kModeFlagRGB), 0});
    writeProperty(w, out, code4("enbl"), cStringData(kEnableExpression));
    writeProperty(w, out, code4("fici"), filterCaseData());
    return out;
}

std::vector<uint8_t> buildAete() {
    std::vector<uint8_t> out;
    ByteWriter w(out);
    w.u16(1);  // reserved word
    w.u8(1);   // major version
    w.u8(0);   // minor version
    w.u16(0);  // language: english (the resource itself is filed under 1033)
    w.u16(0);  // script: roman
    w.u16(1);  // suite count

    w.pascal(kSuiteName);
    w.pascal(kSuiteDescription);
    w.u32(kSuiteCode);
    w.u16(1);  // level
    w.u16(1);  // version
    w.u16(1);  // event count

    w.pascal(kEventName);
    w.pascal(kEventDescription);
    w.u32(kSuiteCode);  // class
    w.u32(kSuiteCode);  // id
    w.u32(kTypeNull);   // no reply
    w.pascal("");
    w.u16(0);
    w.u32(kTypeImageReference);  // the direct parameter: the image
    w.pascal("");
    w.u16(kAeteFlagImageDirectParameter);

    const SettingInfo* table = settingsTable();
    w.u16(uint16_t(kSettingCount));
    for (int i = 0; i < kSettingCount; ++i) {
        const SettingInfo& s = table[i];
        bool enumerated = s.aeteType == kEnumTypeSunType || s.aeteType == kEnumTypeGlue;
        w.pascal(s.name);
        w.u32(s.key);
        w.u32(s.aeteType);
        w.pascal("");
        w.u16(enumerated ? kAeteFlagOptionalEnumerated : kAeteFlagOptional);
    }

    w.u16(0);  // classes
    w.u16(0);  // comparison operators
    w.u16(2);  // enumerations
    writeEnumeration(w, kEnumTypeSunType);
    writeEnumeration(w, kEnumTypeGlue);
    return out;
}

}  // namespace lumenfall
