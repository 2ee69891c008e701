// Outside readers check the JPEG files: the metadata as exiftool reads it,
// the tables and a clean decode as the codec library's own tools see them.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "export/jpeg_test_support.h"
#include "export/jpeg_writer.h"
#include "params/product_identity.h"

using namespace lumenfall;
using namespace lumenfall_test;

namespace {

std::string writeTestJpeg(const std::string& name, const std::vector<std::string>& keywords) {
    std::vector<uint8_t> rgb(64 * 48 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 13);
    const Rgb8View view{rgb.data(), 64, 48};
    const PictureSource picture = pictureFromRgb8(view);
    std::vector<const char*> words;
    for (const std::string& k : keywords) words.push_back(k.c_str());
    JpegOptions options;
    options.keywords = words.data();
    options.keywordCount = int32_t(words.size());
    const std::string path = temporaryPath(name);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr);
    if (file == nullptr) return path;
    EXPECT_EQ(writeJpegFile(&picture, options, false, file), kJpegWritten);
    std::fclose(file);
    return path;
}

}  // namespace

TEST(RealReaders, ExiftoolShowsSoftwareCaptionKeywordsAndComment) {
    if (!toolPresent("exiftool")) GTEST_SKIP() << "exiftool is not installed";
    const std::string path = writeTestJpeg("lumenfall_exif_test.jpg", {"eclipse", "vortices"});
    int status = 0;
    const std::string output = runCommand(
        "exiftool -s -s -s -Software -Caption-Abstract -Keywords -Comment -Source -DateCreated '" + path + "' 2>&1",
        &status);
    ASSERT_EQ(status, 0) << output;
    std::istringstream lines(output);
    std::string software, caption, keywords, comment, source, date;
    std::getline(lines, software);
    std::getline(lines, caption);
    std::getline(lines, keywords);
    std::getline(lines, comment);
    std::getline(lines, source);
    std::getline(lines, date);
    EXPECT_EQ(software, "Lumenfall");
    EXPECT_EQ(caption, "Made with Lumenfall");
    EXPECT_EQ(keywords, "Lumenfall, eclipse, vortices");
    EXPECT_EQ(comment, kMakerWebAddress);
    EXPECT_EQ(source, kMakerWebAddress);
    EXPECT_EQ(date.size(), 10u) << date;  // YYYY:MM:DD as exiftool prints it
    const std::string warnings = runCommand("exiftool -validate -warning -a '" + path + "' 2>&1", &status);
    EXPECT_EQ(warnings.find("Error"), std::string::npos) << warnings;
    std::remove(path.c_str());
}

TEST(RealReaders, NineteenLongestKeywordsAreWrittenWhole) {
    if (!toolPresent("exiftool")) GTEST_SKIP() << "exiftool is not installed";
    std::vector<std::string> keywords;
    for (int i = 0; i < 19; ++i) keywords.push_back(std::string(49, char('a' + i)));
    const std::string path = writeTestJpeg("lumenfall_keywords_test.jpg", keywords);
    int status = 0;
    const std::string output = runCommand("exiftool -s -s -s -sep '|' -Keywords '" + path + "' 2>&1", &status);
    ASSERT_EQ(status, 0) << output;
    std::string expected = "Lumenfall";
    for (const std::string& k : keywords) expected += "|" + k;
    EXPECT_EQ(output, expected + "\n");
    std::remove(path.c_str());
}

TEST(RealReaders, DjpegListsRowEightTablesAndDecodesCleanly) {
    if (!toolPresent("djpeg")) GTEST_SKIP() << "djpeg is not installed";
    const std::string path = writeTestJpeg("lumenfall_djpeg_test.jpg", {});
    int status = 0;
    // Only stderr: the verbose trace and any warning; the picture goes nowhere.
    const std::string trace =
        runCommand("djpeg -verbose -verbose -outfile /dev/null '" + path + "' 2>&1 >/dev/null", &status);
    EXPECT_EQ(status, 0) << trace;
    const JpegQualityRow& row = jpegQualityRow(80);
    for (int table = 0; table < 2; ++table) {
        const std::string header = "Define Quantization Table " + std::to_string(table) + "  precision 0";
        const size_t at = trace.find(header);
        ASSERT_NE(at, std::string::npos) << trace;
        std::istringstream values(trace.substr(at + header.size()));
        const uint16_t* expected = table == 0 ? row.luminance : row.chrominance;
        for (int i = 0; i < 64; ++i) {
            int value = -1;
            values >> value;
            EXPECT_EQ(value, expected[i]) << "table " << table << " entry " << i;
        }
    }
    EXPECT_EQ(trace.find("Corrupt"), std::string::npos);
    EXPECT_EQ(trace.find("arning"), std::string::npos);

    const std::string quiet = runCommand("djpeg -outfile /dev/null '" + path + "' 2>&1", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(quiet, "") << "nothing on stderr";

    if (toolPresent("identify")) {
        const std::string size = runCommand("identify -format '%m %w %h' '" + path + "' 2>&1", &status);
        EXPECT_EQ(size, "JPEG 64 48");
    }
    std::remove(path.c_str());
}
