// The PSD file: its exact layout at every depth, what outside readers make
// of it, and that a refused, failed or cancelled export keeps an older file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "export/jpeg_test_support.h"
#include "export/psd_writer.h"
#include "params/product_identity.h"
#include "render/tiled_image.h"

using namespace lumenfall;
using namespace lumenfall_test;

namespace {

// The web address as it sits in the file: padded to even length.
const uint64_t kAddress = (std::strlen(kMakerWebAddress) + 1) & ~size_t(1);

// Default settings' keywords: sun type 1 with vortices on.
PsdExportSettings defaultSettings() {
    PsdExportSettings s;
    s.vortices = 1;
    s.localDate.tm_year = 126;
    s.localDate.tm_mon = 2;
    s.localDate.tm_mday = 9;
    s.dateGiven = true;
    return s;
}

struct TestImage {
    TiledImage image{};
    TestImage(int32_t w, int32_t h, uint32_t type) {
        initTiledImage(image, nullptr, nullptr);
        EXPECT_TRUE(createTiledImage(&image, w, h, type, 0, false));
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                const float full = type == kStoreRgba8 ? 255.0f : type == kStoreRgba16 ? 32768.0f : 1.0f;
                // Full scale at (0, 0) so the top of the range is written too.
                const float c[4] = {x == 0 && y == 0 ? full : full * float((x * 7 + y) % 10) / 10.0f,
                                    full * float(y % 4) / 4.0f, full * float(x % 3) / 3.0f,
                                    x == 1 ? 0.0f : full};
                writePixel(image, x, y, 0, c);
            }
    }
    ~TestImage() { freeTiledImage(&image); }
};

bool toVector(void* context, const void* data, size_t size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    out->insert(out->end(), static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    return true;
}

std::vector<uint8_t> psdBytes(const TiledImage& image, const PsdExportSettings& settings = defaultSettings()) {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(writePsd(&image, settings, PsdSink{&bytes, toVector}, nullptr), kPsdWritten);
    return bytes;
}

std::string tag(const std::vector<uint8_t>& b, uint64_t at) { return std::string(b.begin() + at, b.begin() + at + 4); }

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

TEST(PsdWriter, EightBitLayoutHasTheExactSizesAndPlanes) {
    const int32_t w = 5, h = 3;
    TestImage t(w, h, kStoreRgba8);
    const std::vector<uint8_t> b = psdBytes(t.image);
    const uint64_t n2 = 2 * kAddress, wh = w * h;
    ASSERT_EQ(b.size(), 654 + n2 + 7 * wh);
    EXPECT_EQ(tag(b, 0), "8BPS");
    EXPECT_EQ(be16(&b[12]), 3u);
    EXPECT_EQ(be32(&b[14]), uint32_t(h));
    EXPECT_EQ(be32(&b[18]), uint32_t(w));
    EXPECT_EQ(be16(&b[22]), 8u);
    EXPECT_EQ(be32(&b[30]), 482 + n2);
    // Resources in order, walked by their own lengths.
    std::vector<uint32_t> ids;
    for (uint64_t at = 34; at < 34 + 482 + n2;) {
        ASSERT_EQ(tag(b, at), "8BIM");
        ids.push_back(be16(&b[at + 4]));
        at += 12 + ((be32(&b[at + 8]) + 1) & ~1u);
    }
    EXPECT_EQ(ids, (std::vector<uint32_t>{1001, 1005, 1011, 1016, 1035, 1028, 1058, 1024, 1026}));
    EXPECT_EQ(be32(&b[516 + n2]), 132 + 4 * wh);
    EXPECT_EQ(be32(&b[520 + n2]), 124 + 4 * wh);
    EXPECT_EQ(be32(&b[526 + n2 + 20]), wh + 2);  // the first channel entry's length
    EXPECT_EQ(std::string(b.begin() + 632 + n2, b.begin() + 640 + n2), std::string("\7layer 1"));
    // Channel data: transparency first, then red; the merged red after the layers.
    const uint64_t channels = 640 + n2;
    EXPECT_EQ(be16(&b[channels]), 0u);
    EXPECT_EQ(b[channels + 2 + 1], 0u);    // x = 1 is transparent
    EXPECT_EQ(b[channels + 2 + 0], 255u);
    EXPECT_EQ(b[channels + 2 + wh + 2], 255u);  // red at (0, 0)
    const uint64_t merged = channels + 4 * (wh + 2) + 4;
    EXPECT_EQ(be16(&b[merged]), 0u);
    for (uint64_t i = 0; i < 3 * wh; ++i)
        ASSERT_EQ(b[merged + 2 + i], b[channels + (i / wh + 1) * (wh + 2) + 2 + i % wh]) << i;
}

TEST(PsdWriter, SixteenBitLayerGoesIntoLr16WithAnOpaqueFourthMergedChannel) {
    const int32_t w = 4, h = 3;
    TestImage t(w, h, kStoreRgba16);
    const std::vector<uint8_t> b = psdBytes(t.image);
    const uint64_t n2 = 2 * kAddress, wh = w * h;
    ASSERT_EQ(b.size(), 678 + n2 + 16 * wh);
    EXPECT_EQ(be16(&b[12]), 4u);
    EXPECT_EQ(be16(&b[22]), 16u);
    const uint64_t section = 516 + n2;
    EXPECT_EQ(be32(&b[section + 4]), 0u);
    EXPECT_EQ(be32(&b[section + 8]), 0u);
    EXPECT_EQ(tag(b, section + 16), "Mt16");
    EXPECT_EQ(tag(b, section + 28), "Lr16");
    EXPECT_EQ(be32(&b[section + 32]), 124 + 8 * wh);
    EXPECT_EQ(be32(&b[section]), 8 + 24 + 124 + 8 * wh);
    // Red of (0, 0) is full scale: 65535; red of (1, 0) is 0.7 of 32768, truncated, doubled.
    const uint64_t red = section + 36 + 2 + 114 + (2 * wh + 2) + 2;
    EXPECT_EQ(be16(&b[red]), 65535u);
    EXPECT_EQ(be16(&b[red + 2]), 2u * uint32_t(32768.0f * 0.7f));
    for (uint64_t i = b.size() - 2 * wh; i < b.size(); ++i) ASSERT_EQ(b[i], 0xFF);
}

TEST(PsdWriter, ThirtyTwoBitFileHasToningMaskBlocksAndFloatSamples) {
    const int32_t w = 3, h = 2;
    TestImage t(w, h, kStoreRgbaFloat);
    PsdExportSettings s = defaultSettings();
    const uint8_t icc[5] = {1, 2, 3, 4, 5};
    s.iccProfile = icc;
    s.iccProfileSize = sizeof icc;
    const std::vector<uint8_t> b = psdBytes(t.image, s);
    const PsdLayout layout = psdLayout(w, h, 4, s);
    ASSERT_EQ(b.size(), layout.fileSize);
    EXPECT_EQ(be16(&b[12]), 3u);
    EXPECT_EQ(be32(&b[26]), 74u);
    EXPECT_EQ(tag(b, 30), "hdrt");
    const std::string all(b.begin(), b.end());
    for (const char* key : {"Mt32", "Lr32", "LMsk", "Pat3", "HDR", "high dynamic range", "vortices"})
        EXPECT_NE(all.find(key), std::string::npos) << key;
    EXPECT_NE(all.find(std::string("\x04\x0f\0\0\0\0\0\x05\1\2\3\4\5\0", 14)), std::string::npos);  // 1039, padded
    const size_t lr = all.find("Lr32");
    EXPECT_EQ(be32(&b[lr + 4]), 124 + 16u * w * h);
    EXPECT_EQ(b[lr + 8 + 2 + 16 + 2 + 24 + 10], 8u);  // layer flags
    // The merged blue ends the file: (2, 1) is 2/3 as a big-endian float.
    float last;
    const uint32_t bits = be32(&b[b.size() - 4]);
    std::memcpy(&last, &bits, 4);
    EXPECT_EQ(last, 1.0f * float(2 % 3) / 3.0f);
}

TEST(PsdWriter, RealReadersSeeTheLayerThePixelsAndTheMetadata) {
    if (!toolPresent("identify") || !toolPresent("convert")) GTEST_SKIP() << "ImageMagick is not installed";
    for (uint32_t type : {uint32_t(kStoreRgba8), uint32_t(kStoreRgba16)}) {
        const int32_t w = 7, h = 5;
        TestImage t(w, h, type);
        const std::string path = temporaryPath(type == kStoreRgba8 ? "lf_psd8.psd" : "lf_psd16.psd");
        ASSERT_EQ(writePsdFile(path.c_str(), &t.image, defaultSettings(), nullptr), kPsdWritten);
        int status = 0;
        std::string out = runCommand("identify -format '%w %h %z|' '" + path + "' 2>&1", &status);
        ASSERT_EQ(status, 0) << out;
        const std::string one = type == kStoreRgba8 ? "7 5 8|" : "7 5 16|";
        EXPECT_EQ(out, one + one) << "the merged image and one layer";
        // The layer's colours as 16-bit values.
        out = runCommand("convert '" + path + "[1]' -alpha off -depth 16 -endian MSB rgb:- | od -An -v -tu1", &status);
        ASSERT_EQ(status, 0);
        std::istringstream values(out);
        std::vector<int> bytes;
        for (int v; values >> v;) bytes.push_back(v);
        ASSERT_EQ(bytes.size(), size_t(6 * w * h));
        for (int32_t i = 0; i < 3 * w * h; ++i) {
            float px[4];
            readPixel(t.image, i / 3 % w, i / 3 / w, 0, px);
            const float v = px[i % 3];
            const int read = bytes[2 * i] * 256 + bytes[2 * i + 1];
            const int want = type == kStoreRgba8 ? int(v) * 257 : (v >= 32768 ? 65535 : 2 * int(v));
            ASSERT_EQ(read, want) << i;
        }
    }
    if (!toolPresent("exiftool")) return;
    int status = 0;
    const std::string out =
        runCommand("exiftool -s -s -s -Caption-Abstract -Software -Keywords '" + temporaryPath("lf_psd8.psd") + "'",
                   &status);
    EXPECT_EQ(out, "Made with Lumenfall\nLumenfall\nLumenfall, vortices\n");
}

TEST(PsdWriter, AFailedWriteOrACancelKeepsTheOldFile) {
    TestImage t(6, 4, kStoreRgba8);
    const std::filesystem::path folder = temporaryPath("lf_psd_keep");
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "keep.psd").string();
    writeFile(path, "old bytes");
    int32_t k = 1;
    for (;; ++k) {
        const PsdWriteHooks hooks{k};
        char message[200] = "";
        const int32_t result = writePsdFile(path.c_str(), &t.image, defaultSettings(), nullptr, &hooks, message, 200);
        if (result == kPsdWritten) break;
        ASSERT_EQ(result, kPsdWriteError) << k;
        EXPECT_STRNE(message, "");
        ASSERT_EQ(fileBytes(path), std::vector<uint8_t>({'o', 'l', 'd', ' ', 'b', 'y', 't', 'e', 's'})) << k;
    }
    EXPECT_GT(k, 8) << "the writes come in sections";
    EXPECT_EQ(fileBytes(path).size(), 654 + 2 * kAddress + 7 * 24);

    writeFile(path, "old bytes");
    struct Seen {
        std::vector<int32_t> percents;
    } seen;
    const PsdProgress cancelAtHalf{&seen, [](void* c, int32_t p) {
                                       static_cast<Seen*>(c)->percents.push_back(p);
                                       return p < 50;
                                   }};
    EXPECT_EQ(writePsdFile(path.c_str(), &t.image, defaultSettings(), &cancelAtHalf), kPsdCancelled);
    EXPECT_EQ(fileBytes(path).size(), 9u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1)
        << "no new file is left behind";
    // Progress runs 0 .. 100 without going back.
    const PsdProgress record{&seen, [](void* c, int32_t p) {
                                 static_cast<Seen*>(c)->percents.push_back(p);
                                 return true;
                             }};
    seen.percents.clear();
    ASSERT_EQ(writePsdFile(path.c_str(), &t.image, defaultSettings(), &record), kPsdWritten);
    ASSERT_GE(seen.percents.size(), 10u);
    EXPECT_EQ(seen.percents.front(), 0);
    EXPECT_EQ(seen.percents.back(), 100);
    for (size_t i = 1; i < seen.percents.size(); ++i) EXPECT_GE(seen.percents[i], seen.percents[i - 1]);
}

TEST(PsdWriter, SizeLimitsRefuseBeforeAnythingIsCreated) {
    const PsdExportSettings s = defaultSettings();
    char message[320] = "";
    EXPECT_FALSE(psdSizeAllowed(30001, 10, 1, s, message, sizeof message));
    EXPECT_NE(std::string(message).find("30000"), std::string::npos) << message;
    EXPECT_TRUE(psdSizeAllowed(30000, 30000, 1, s, nullptr, 0));
    // The largest pixel counts keep every length within 32 bits; one more does not.
    for (int32_t bps : {2, 4}) {
        const int64_t limit = psdMaxPixels(bps);
        EXPECT_LE(psdLayout(limit, 1, bps, s).layerSectionLength, 0xFFFFFFFFull);
        EXPECT_GT(psdLayout(limit + 1, 1, bps, s).layerSectionLength, 0xFFFFFFFFull);
    }
    EXPECT_EQ(psdMaxPixels(2), 536870892);
    EXPECT_EQ(psdMaxPixels(4), 268435443);
    EXPECT_TRUE(psdSizeAllowed(30000, 17895, 2, s, nullptr, 0));
    EXPECT_FALSE(psdSizeAllowed(30000, 17896, 2, s, message, sizeof message));
    EXPECT_NE(std::string(message).find("536870892"), std::string::npos) << message;
    EXPECT_FALSE(psdSizeAllowed(16384, 16384, 4, s, nullptr, 0));

    TestImage wide(30001, 1, kStoreRgba8);
    const std::string path = temporaryPath("lf_psd_wide.psd");
    std::remove(path.c_str());
    EXPECT_EQ(writePsdFile(path.c_str(), &wide.image, s, nullptr, nullptr, message, sizeof message), kPsdTooLarge);
    EXPECT_EQ(std::fopen(path.c_str(), "rb"), nullptr);
}
