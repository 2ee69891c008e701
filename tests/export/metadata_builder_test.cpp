#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "params/product_identity.h"
#include "export/metadata_builder.h"

using namespace lumenfall;

namespace {

std::tm dateOf(int year, int month, int day) {
    std::tm date{};
    date.tm_year = year - 1900;
    date.tm_mon = month - 1;
    date.tm_mday = day;
    return date;
}

// The datasets of an IPTC block built with the prefix: (number, text) pairs.
std::vector<std::pair<int, std::string>> datasetsOf(const MetadataBuilder& builder) {
    std::vector<std::pair<int, std::string>> sets;
    const uint8_t* p = builder.buffer + 14 + 12;
    const uint32_t dataLength = (uint32_t(builder.buffer[22]) << 24) | (uint32_t(builder.buffer[23]) << 16) |
                                (uint32_t(builder.buffer[24]) << 8) | builder.buffer[25];
    const uint8_t* end = p + dataLength;
    while (p + 5 <= end && p[0] == 0x1C && p[1] == 2) {
        const int length = (p[3] << 8) | p[4];
        sets.emplace_back(p[2], std::string(reinterpret_cast<const char*>(p + 5), length));
        p += 5 + length;
    }
    EXPECT_EQ(p, end) << "datasets fill the stated length exactly";
    return sets;
}

void setSourceDate(const char* epoch) {
#if defined(_WIN32)
    _putenv_s("SOURCE_DATE_EPOCH", epoch ? epoch : "");  // "" removes it
#else
    if (epoch) setenv("SOURCE_DATE_EPOCH", epoch, 1);
    else unsetenv("SOURCE_DATE_EPOCH");
#endif
}

}  // namespace

TEST(Keywords, RefusesTooLongEmptyRepeatedAndTwentieth) {
    static MetadataBuilder builder;
    resetMetadataBuilder(builder);
    const std::string fortyNine(49, 'k');
    const std::string fifty(50, 'k');
    EXPECT_TRUE(addKeyword(builder, fortyNine.c_str()));
    EXPECT_FALSE(addKeyword(builder, fifty.c_str()));
    EXPECT_FALSE(addKeyword(builder, ""));
    EXPECT_FALSE(addKeyword(builder, nullptr));
    EXPECT_TRUE(addKeyword(builder, "eclipse"));
    EXPECT_FALSE(addKeyword(builder, "eclipse"));
    EXPECT_TRUE(addKeyword(builder, "Eclipse")) << "the comparison is exact";
    EXPECT_EQ(builder.keywordCount, 3);
    for (int i = 3; i < kMaxKeywords; ++i) EXPECT_TRUE(addKeyword(builder, std::to_string(i).c_str()));
    EXPECT_FALSE(addKeyword(builder, "one too many"));
    EXPECT_EQ(builder.keywordCount, kMaxKeywords);
}

TEST(IptcBlock, LaysOutResourceAndDatasetsInOrder) {
    static MetadataBuilder builder;
    resetMetadataBuilder(builder);
    addKeyword(builder, "HDR");
    addKeyword(builder, "high dynamic range");
    const int32_t length = buildIptcBlock(builder, true, false, dateOf(2026, 3, 9));
    ASSERT_GT(length, 26);
    EXPECT_EQ(std::memcmp(builder.buffer, "Photoshop 3.0\0" "8BIM\x04\x04\0\0", 22), 0);
    const auto sets = datasetsOf(builder);
    ASSERT_EQ(sets.size(), 7u);
    EXPECT_EQ(sets[0], std::make_pair(0, std::string("\0\2", 2)));
    EXPECT_EQ(sets[1], std::make_pair(115, std::string(kMakerWebAddress)));
    EXPECT_EQ(sets[2], std::make_pair(55, std::string("20260309")));
    EXPECT_EQ(sets[3], std::make_pair(120, std::string("Made with Lumenfall")));
    EXPECT_EQ(sets[4], std::make_pair(25, std::string("Lumenfall")));
    EXPECT_EQ(sets[5], std::make_pair(25, std::string("HDR")));
    EXPECT_EQ(sets[6], std::make_pair(25, std::string("high dynamic range")));
    EXPECT_EQ(length % 2, 0) << "an odd data length is padded";
    // Without the prefix the same block starts at "8BIM".
    const int32_t bare = buildIptcBlock(builder, false, false, dateOf(2026, 3, 9));
    EXPECT_EQ(bare, length - 14);
    EXPECT_EQ(std::memcmp(builder.buffer, "8BIM", 4), 0);
}

TEST(IptcBlock, PadsOddDataWithOneZeroByte) {
    static MetadataBuilder builder;
    resetMetadataBuilder(builder);
    const int32_t even = buildIptcBlock(builder, false, false, dateOf(2026, 3, 9));
    const uint32_t dataEven = builder.buffer[11];
    addKeyword(builder, "x");  // six more data bytes keep the parity
    addKeyword(builder, "yz"); // seven flip it
    const int32_t flipped = buildIptcBlock(builder, false, false, dateOf(2026, 3, 9));
    const uint32_t dataFlipped = builder.buffer[11];
    EXPECT_EQ(dataFlipped, dataEven + 13);
    EXPECT_EQ(flipped, 12 + int32_t(dataFlipped) + int32_t(dataFlipped % 2));
    EXPECT_EQ(even, 12 + int32_t(dataEven) + int32_t(dataEven % 2));
    if (dataFlipped % 2 != 0) {
        EXPECT_EQ(builder.buffer[flipped - 1], 0);
    }
}

TEST(IptcBlock, NineteenLongestKeywordsFitAndLengthOnlyAgrees) {
    static MetadataBuilder builder;
    resetMetadataBuilder(builder);
    for (int i = 0; i < kMaxKeywords; ++i) {
        std::string word(49, char('a' + i));
        ASSERT_TRUE(addKeyword(builder, word.c_str()));
    }
    // Guard bytes past the block must stay untouched when only measuring.
    std::memset(builder.buffer, 0xEE, sizeof builder.buffer);
    const int32_t measured = buildIptcBlock(builder, true, true, dateOf(2026, 12, 31));
    EXPECT_EQ(builder.buffer[0], 0xEE);
    const int32_t built = buildIptcBlock(builder, true, false, dateOf(2026, 12, 31));
    EXPECT_EQ(measured, built);
    EXPECT_GT(built, 1000) << "more than the old 1000-byte buffer held";
    const auto sets = datasetsOf(builder);
    ASSERT_EQ(sets.size(), 5u + 19u);
    EXPECT_EQ(sets.back().second, std::string(49, char('a' + 18)));
}

TEST(IptcBlock, DateIsTodaysLocalDate) {
    static MetadataBuilder builder;
    resetMetadataBuilder(builder);
    setSourceDate(nullptr);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char expected[16];
    std::strftime(expected, sizeof expected, "%Y%m%d", &local);
    buildIptcBlock(builder, true, false, todaysLocalDate());
    EXPECT_EQ(datasetsOf(builder)[2].second, expected);
}

// A fixed date makes the files of another day the same bytes; a value that
// is not whole seconds is no date at all and leaves today's.
TEST(IptcBlock, SourceDateEpochFixesTheDateInUtc) {
    static MetadataBuilder builder;
    const auto dateWith = [](const char* epoch) {
        resetMetadataBuilder(builder);
        setSourceDate(epoch);
        buildIptcBlock(builder, true, false, todaysLocalDate());
        setSourceDate(nullptr);
        return datasetsOf(builder)[2].second;
    };
    EXPECT_EQ(dateWith("1796817600"), "20261209");
    EXPECT_EQ(dateWith("1796860799"), "20261209") << "the last second of the day in UTC";
    EXPECT_EQ(dateWith("0"), "19700101");
    resetMetadataBuilder(builder);
    buildIptcBlock(builder, true, false, todaysLocalDate());
    const std::string today = datasetsOf(builder)[2].second;
    for (const char* refused : {"", "12x", "-5", "1796817600 ", "99999999999999"})
        EXPECT_EQ(dateWith(refused), today) << "'" << refused << "'";
}

TEST(ExifBlock, IsBigEndianTiffNamingTheSoftware) {
    static MetadataBuilder builder;
    resetMetadataBuilder(builder);
    const uint8_t expected[] = {'E', 'x', 'i', 'f', 0, 0,                 //
                                'M', 'M', 0, 42, 0, 0, 0, 8,              // header
                                0, 1,                                     // one entry
                                0x01, 0x31, 0, 2, 0, 0, 0, 10, 0, 0, 0, 26,  // software, ASCII, 10, at 26
                                0, 0, 0, 0,                               // no next IFD
                                'L', 'u', 'm', 'e', 'n', 'f', 'a', 'l', 'l', 0};
    ASSERT_EQ(buildExifBlock(builder, true, false), int32_t(sizeof expected));
    EXPECT_EQ(std::memcmp(builder.buffer, expected, sizeof expected), 0);
    EXPECT_EQ(buildExifBlock(builder, false, true), int32_t(sizeof expected) - 6);
}
