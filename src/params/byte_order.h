// Four-character codes and big-endian integers: the one helper for the
// byte layouts of files, resources and host codes.
#ifndef LUMENFALL_PARAMS_BYTE_ORDER_H
#define LUMENFALL_PARAMS_BYTE_ORDER_H

#include <cstdint>
#include <vector>

namespace lumenfall {

// 'abcd' as the host interface and the file formats store it: the first
// character in the top byte.
constexpr uint32_t fourCharCode(const char (&s)[5]) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
           (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3]));
}

inline uint32_t readBigEndian32(const uint8_t* b) {
    return (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | uint32_t(b[3]);
}

inline void storeBigEndian32(uint8_t* b, uint32_t value) {
    b[0] = uint8_t(value >> 24);
    b[1] = uint8_t(value >> 16);
    b[2] = uint8_t(value >> 8);
    b[3] = uint8_t(value);
}

inline void appendBigEndian32(std::vector<uint8_t>& out, uint32_t value) {
    const uint8_t b[4] = {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)};
    out.insert(out.end(), b, b + 4);
}

}  // namespace lumenfall

#endif
