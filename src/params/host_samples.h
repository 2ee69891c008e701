// The plug-in's 16-bit range is 0..32768: 16-bit file samples 0..65535 map
// onto it and back with rounding, so black and white survive exactly, and
// a sample the plug-in left at the value it was given keeps its exact file
// value (a render that does not reach a pixel leaves it as it was).
#ifndef LUMENFALL_PARAMS_HOST_SAMPLES_H
#define LUMENFALL_PARAMS_HOST_SAMPLES_H

#include <cstdint>

namespace lumenfall {

inline uint16_t fileToHost16(uint32_t v) { return uint16_t((v * 32768u + 32767u) / 65535u); }
inline uint16_t hostToFile16(uint32_t v) { return uint16_t(((v > 32768u ? 32768u : v) * 65535u + 16384u) / 32768u); }

// The file sample for what the plug-in wrote over `original`.
inline uint16_t fileSampleAfter(uint16_t original, uint16_t written) {
    return written == fileToHost16(original) ? original : hostToFile16(written);
}

}  // namespace lumenfall

#endif
