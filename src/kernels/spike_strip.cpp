#include "kernels/spike_strip.h"

#include "kernels/cpu_features.h"

#if LUMENFALL_WIDE_VECTORS
#include <immintrin.h>
#endif

namespace lumenfall {
namespace {

#if LUMENFALL_WIDE_VECTORS
// Within the bounds below, every across and along of the strip and every
// step of eight columns are 32-bit numbers, so the columns take 32-bit lanes
// and the same whole-number steps as addSpikeStrip.
constexpr int64_t kLaneBound = int64_t(1) << 30;

// Eight columns a vector with AVX2; returns the columns it did.
[[gnu::target("avx2")]] int64_t addSpikeStripEights(const SunTables& tables, int32_t k, int64_t across,
                                                    int64_t along, int64_t count, int64_t* sums) {
    const int32_t* axis = tables.spikeAxes[k];
    const int64_t acrossStep = axis[1], alongStep = axis[3];
    const int64_t eights = count & ~int64_t(7);
    const auto inBounds = [](int64_t v) { return v > -kLaneBound && v < kLaneBound; };
    if (eights == 0 || !inBounds(acrossStep * 8) || !inBounds(alongStep * 8) || !inBounds(across) ||
        !inBounds(along) || !inBounds(across - acrossStep * eights) || !inBounds(along - alongStep * eights))
        return 0;
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    __m256i acrossLanes = _mm256_sub_epi32(_mm256_set1_epi32(int32_t(across)),
                                           _mm256_mullo_epi32(lanes, _mm256_set1_epi32(int32_t(acrossStep))));
    __m256i alongLanes = _mm256_sub_epi32(_mm256_set1_epi32(int32_t(along)),
                                          _mm256_mullo_epi32(lanes, _mm256_set1_epi32(int32_t(alongStep))));
    const __m256i acrossEight = _mm256_set1_epi32(int32_t(acrossStep * 8));
    const __m256i alongEight = _mm256_set1_epi32(int32_t(alongStep * 8));
    const __m256i widest = _mm256_set1_epi32(300), acrossLimit = _mm256_set1_epi32(301);
    const __m256i alongTop = _mm256_set1_epi32(32640), alongLimit = _mm256_set1_epi32(127);
    const __m256i low16 = _mm256_set1_epi32(0xffff);
    // Entries are 16 bits: each lane reads 32 from its entry's address and
    // keeps the low half. Entry 300's upper half lies in the next table of
    // the same structure.
    const int* profile = reinterpret_cast<const int*>(tables.spikeProfile);
    for (int64_t i = 0; i < eights; i += 8) {
        const __m256i a = _mm256_abs_epi32(acrossLanes);
        const __m256i l = _mm256_sub_epi32(alongTop, _mm256_abs_epi32(alongLanes));
        const __m256i shines = _mm256_and_si256(_mm256_cmpgt_epi32(acrossLimit, a), _mm256_cmpgt_epi32(l, alongLimit));
        const __m256i entry = _mm256_and_si256(_mm256_sub_epi32(widest, a), shines);
        const __m256i weight = _mm256_and_si256(
            _mm256_mask_i32gather_epi32(_mm256_setzero_si256(), profile, entry, shines, 2), low16);
        const __m256i share = _mm256_and_si256(
            _mm256_srli_epi32(_mm256_mullo_epi32(_mm256_srli_epi32(l, 7), weight), 8), shines);
        __m256i* to = reinterpret_cast<__m256i*>(sums + i);
        _mm256_storeu_si256(to, _mm256_add_epi64(_mm256_loadu_si256(to),
                                                 _mm256_cvtepi32_epi64(_mm256_castsi256_si128(share))));
        _mm256_storeu_si256(to + 1, _mm256_add_epi64(_mm256_loadu_si256(to + 1),
                                                     _mm256_cvtepi32_epi64(_mm256_extracti128_si256(share, 1))));
        acrossLanes = _mm256_sub_epi32(acrossLanes, acrossEight);
        alongLanes = _mm256_sub_epi32(alongLanes, alongEight);
    }
    return eights;
}
#endif

}  // namespace

void addSpikeStripFast(const SunTables& tables, int32_t k, int64_t dx, int64_t dy, int64_t count, int64_t* sums) {
    int64_t done = 0;
#if LUMENFALL_WIDE_VECTORS
    if (count >= 8 && cpuRunsAvx2()) {
        const int32_t* axis = tables.spikeAxes[k];
        const int64_t across = axis[0] * dy + axis[1] * dx;
        const int64_t along = axis[3] * dx - axis[2] * dy;
        done = addSpikeStripEights(tables, k, across, along, count, sums);
    }
#endif
    if (done < count) addSpikeStrip(tables, k, dx - done, dy, count - done, sums + done);
}

}  // namespace lumenfall
