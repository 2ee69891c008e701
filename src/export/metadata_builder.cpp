#include "export/metadata_builder.h"
#include "params/byte_order.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "params/product_identity.h"

namespace lumenfall {

namespace {

constexpr char kIptcPrefix[] = "Photoshop 3.0";  // written with its zero byte
constexpr char kExifPrefix[] = "Exif";           // followed by two zero bytes

// Appends bytes to the builder's buffer, or only counts them. Writes past
// the capacity are refused and remembered, so a block never overruns.
struct BlockWriter {
    MetadataBuilder& builder;
    bool lengthOnly;
    int32_t length = 0;
    bool overflow = false;

    void bytes(const void* data, size_t count) {
        if (overflow || count > static_cast<size_t>(kMetadataCapacity - length)) {
            overflow = true;
            return;
        }
        if (!lengthOnly) std::memcpy(builder.buffer + length, data, count);
        length += static_cast<int32_t>(count);
    }
    void byte(uint8_t value) { bytes(&value, 1); }
    void be16(uint32_t value) {
        const uint8_t b[2] = {uint8_t(value >> 8), uint8_t(value)};
        bytes(b, 2);
    }
    void be32(uint32_t value) {
        uint8_t b[4];
        storeBigEndian32(b, value);
        bytes(b, 4);
    }
    void patchBe32(int32_t at, uint32_t value) {
        if (lengthOnly || overflow) return;
        storeBigEndian32(&builder.buffer[at], value);
    }
    // One dataset of IPTC record 2.
    void dataset(uint8_t number, const void* data, size_t count) {
        byte(0x1C);
        byte(2);
        byte(number);
        be16(static_cast<uint32_t>(count));
        bytes(data, count);
    }
    void textDataset(uint8_t number, const char* text) { dataset(number, text, std::strlen(text)); }

    int32_t finish() {
        builder.length = overflow ? 0 : length;
        return builder.length;
    }
};

// The fullest block must fit: prefix, resource header, fixed datasets and
// every keyword at its longest, plus the padding byte.
constexpr int32_t kFullestIptc = 14 + 12 + (5 + 2) + (5 + 64) + (5 + 8) + (5 + 19) + (5 + 9) +
                                 kMaxKeywords * (5 + kMaxKeywordLength) + 1;
static_assert(kFullestIptc <= kMetadataCapacity, "the metadata buffer holds the fullest block");

}  // namespace

void resetMetadataBuilder(MetadataBuilder& builder) {
    std::memset(&builder, 0, sizeof builder);
}

bool addKeyword(MetadataBuilder& builder, const char* text) {
    if (text == nullptr || text[0] == '\0') return false;
    if (builder.keywordCount < 0 || builder.keywordCount >= kMaxKeywords) return false;
    const size_t length = strnlen(text, kMaxKeywordLength + 1);
    if (length > static_cast<size_t>(kMaxKeywordLength)) return false;
    for (int32_t i = 0; i < builder.keywordCount; ++i) {
        if (std::strcmp(builder.keywords[i], text) == 0) return false;
    }
    std::memcpy(builder.keywords[builder.keywordCount], text, length);
    builder.keywords[builder.keywordCount][length] = '\0';
    ++builder.keywordCount;
    return true;
}

int32_t buildIptcBlock(MetadataBuilder& builder, bool withPrefix, bool lengthOnly,
                       const std::tm& localDate) {
    static_assert(sizeof kIptcPrefix == 14, "prefix and its zero byte");
    BlockWriter out{builder, lengthOnly};
    if (withPrefix) out.bytes(kIptcPrefix, sizeof kIptcPrefix);
    out.bytes("8BIM", 4);
    out.be16(0x0404);
    out.be16(0);  // empty resource name, padded to even length
    const int32_t lengthAt = out.length;
    out.be32(0);
    const int32_t dataStart = out.length;

    const uint8_t version[2] = {0, 2};
    out.dataset(0, version, 2);
    out.textDataset(115, kMakerWebAddress);
    // Years outside four digits cannot come from the clock; keep the field 8 bytes.
    char date[32];
    int year = localDate.tm_year + 1900;
    if (year < 0) year = 0;
    if (year > 9999) year = 9999;
    std::snprintf(date, sizeof date, "%04d%02d%02d", year, (localDate.tm_mon + 1) % 100,
                  localDate.tm_mday % 100);
    out.textDataset(55, date);
    out.textDataset(120, kPictureCaption);
    out.textDataset(25, kProductName);
    const int32_t keywordCount =
        builder.keywordCount < 0 ? 0 : (builder.keywordCount > kMaxKeywords ? kMaxKeywords : builder.keywordCount);
    for (int32_t i = 0; i < keywordCount; ++i) {
        out.dataset(25, builder.keywords[i], strnlen(builder.keywords[i], kMaxKeywordLength));
    }
    const int32_t dataLength = out.length - dataStart;
    out.patchBe32(lengthAt, static_cast<uint32_t>(dataLength));
    if (dataLength % 2 != 0) out.byte(0);
    return out.finish();
}

int32_t buildExifBlock(MetadataBuilder& builder, bool withPrefix, bool lengthOnly) {
    BlockWriter out{builder, lengthOnly};
    if (withPrefix) {
        out.bytes(kExifPrefix, 4);
        out.be16(0);
    }
    // Big-endian TIFF: header, one IFD with the software tag, then its text at offset 26.
    out.bytes("MM", 2);
    out.be16(42);
    out.be32(8);
    out.be16(1);           // entry count
    out.be16(0x0131);      // software
    out.be16(2);           // ASCII
    out.be32(10);          // "Lumenfall" and its zero byte
    out.be32(26);          // value offset from the TIFF header
    out.be32(0);           // no next IFD
    out.bytes(kProductName, std::strlen(kProductName) + 1);
    return out.finish();
}

namespace {

// SOURCE_DATE_EPOCH, the reproducible-builds convention: whole seconds since
// 1970 in decimal digits. Anything else is no fixed date.
bool fixedDateSeconds(std::time_t* seconds) {
    const char* text = std::getenv("SOURCE_DATE_EPOCH");
    if (text == nullptr || *text == 0 || std::strlen(text) > 12) return false;
    long long value = 0;
    for (const char* c = text; *c; ++c) {
        if (*c < '0' || *c > '9') return false;
        value = value * 10 + (*c - '0');
    }
    *seconds = std::time_t(value);
    return true;
}

}  // namespace

std::tm todaysLocalDate() {
    std::time_t now = std::time(nullptr);
    std::tm date{};
    // A fixed date (in UTC, as the convention asks) makes files written on
    // different days the same bytes: the shipped presets are made that way.
    const bool fixed = fixedDateSeconds(&now);
#if defined(_WIN32)
    // The host calls on one thread; the runtime's buffer is copied at once.
    const std::tm* local = fixed ? std::gmtime(&now) : std::localtime(&now);
    if (local != nullptr) date = *local;
#else
    if (fixed) gmtime_r(&now, &date);
    else localtime_r(&now, &date);
#endif
    return date;
}

}  // namespace lumenfall
