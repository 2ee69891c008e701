// Small readers of our own JPEG output for the tests: the marker segments up
// to the scan, and pictures to encode.
#ifndef LUMENFALL_TESTS_EXPORT_JPEG_TEST_SUPPORT_H
#define LUMENFALL_TESTS_EXPORT_JPEG_TEST_SUPPORT_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace lumenfall_test {

struct Segment {
    int marker;                 // the byte after 0xFF
    std::vector<uint8_t> data;  // without the length field
};

// Segments from SOI up to and including SOS.
inline std::vector<Segment> readSegments(const std::vector<uint8_t>& jpeg) {
    std::vector<Segment> segments;
    if (jpeg.size() < 2 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return segments;
    segments.push_back({0xD8, {}});
    size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
        const int marker = jpeg[at + 1];
        const size_t length = (size_t(jpeg[at + 2]) << 8) | jpeg[at + 3];
        if (length < 2 || at + 2 + length > jpeg.size()) break;
        segments.push_back({marker, std::vector<uint8_t>(jpeg.begin() + at + 4, jpeg.begin() + at + 2 + length)});
        at += 2 + length;
        if (marker == 0xDA) break;
    }
    return segments;
}

inline uint32_t be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
inline uint32_t be16(const uint8_t* p) { return (uint32_t(p[0]) << 8) | p[1]; }

// The JPEG zigzag order: entry k of a DQT table is natural position kZigzag[k].
constexpr int kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                             12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                             35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                             58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

inline std::string temporaryPath(const std::string& name) {
    const char* folder = std::getenv("TMPDIR");
    std::string path = folder != nullptr && *folder != '\0' ? folder : "/tmp";
    if (path.back() != '/') path += '/';
    return path + name;
}

inline std::string runCommand(const std::string& command, int* status) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        *status = -1;
        return output;
    }
    char buffer[4096];
    size_t count;
    while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, count);
    *status = pclose(pipe);
    return output;
}

inline bool toolPresent(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace lumenfall_test

#endif
