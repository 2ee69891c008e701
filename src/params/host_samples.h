// The plug-in's 16-bit range is 0..32768: 16-bit file samples 0..65535 map
// onto it and back with rounding, so black and white survive exactly, and
// a sample the plug-in left at the value it was given keeps its exact file
// value (a render that does not reach a pixel leaves it as it was).
#ifndef LUMENFALL_PARAMS_HOST_SAMPLES_H
#define LUMENFALL_PARAMS_HOST_SAMPLES_H

#include <cstdint>

namespace lumenfall {

// (32768 v + 32767) / 65535, rounded down: for these x = 32768 v + 32767
// (below 2^31), x / 65535 is (x + (x >> 16) + 1) >> 16 (a test checks every
// v), which needs no division, so the host's loops over rows vectorise.
inline uint16_t fileToHost16(uint16_t v) {
    const uint32_t x = uint32_t(v) * 32768u + 32767u;
    return uint16_t((x + (x >> 16) + 1u) >> 16);
}
inline uint16_t hostToFile16(uint32_t v) { return uint16_t(((v > 32768u ? 32768u : v) * 65535u + 16384u) / 32768u); }

// The file sample for what the plug-in wrote over `original`.
inline uint16_t fileSampleAfter(uint16_t original, uint16_t written) {
    return written == fileToHost16(original) ? original : hostToFile16(written);
}

}  // namespace lumenfall

#endif
