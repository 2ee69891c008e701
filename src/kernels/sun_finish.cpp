#include "kernels/sun_finish.h"

#include <algorithm>

#include "kernels/cpu_features.h"

#if LUMENFALL_WIDE_VECTORS
#include <immintrin.h>
#endif

namespace lumenfall {
namespace {

// Pixels finished in a batch before those of them that need the scalar
// steps are.
constexpr int32_t kFinishBatch = 64;

void finishEach(const SunFrame& s, int64_t (*totals)[3], const DiscLight* discs, const int16_t* at, int32_t count,
                SunPixel* out) {
    for (int32_t k = 0; k < count; ++k) finishSunPixel(s, totals[k], discs[k], &out[at[k]]);
}

#if LUMENFALL_WIDE_VECTORS
// A pixel's three channels a vector, in doubles, which hold every step
// exactly: the bounded sum (|x| <= 2^31) times a master brightness below
// 2^21 stays below 2^52; its magnitude times the divisor's reciprocal is
// within 2^-51 of the quotient relatively, so less than 1 from it, and
// truncates to the integer quotient or a neighbour of it, which products of
// whole numbers below 2^53 (exact) tell apart; and the bounds after it are
// whole numbers below 2^53. Pixels on the rim or with a channel over M take
// the scalar steps.
[[gnu::target("avx2")]] void finishWide(const SunFrame& s, int64_t (*totals)[3], const DiscLight* discs,
                                         const int16_t* at, int32_t count, SunPixel* out) {
    const __m256i lowLight = _mm256_set1_epi64x(-kMaxLight), highLight = _mm256_set1_epi64x(kMaxLight);
    // A whole number x, |x| < 2^51, added to the bits of 2^52 + 2^51 gives
    // the bits of the double 2^52 + 2^51 + x.
    const __m256i magicBits = _mm256_set1_epi64x(INT64_C(0x4338000000000000));
    const __m256d magic = _mm256_set1_pd(6755399441055744.0);
    const __m256d brightness = _mm256_set1_pd(double(s.masterBrightness));
    const double divisorValue = s.eightBit ? 25.0 * 129.0 : 25.0;
    const __m256d divisor = _mm256_set1_pd(divisorValue);
    const __m256d reciprocal = _mm256_set1_pd(1.0 / divisorValue);
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d signBit = _mm256_set1_pd(-0.0);
    const __m256d lowScaled = _mm256_set1_pd(double(-kMaxScaledLight));
    const __m256d highScaled = _mm256_set1_pd(double(kMaxScaledLight));
    const __m256d full = _mm256_set1_pd(double(s.fullScale)), lowest = _mm256_set1_pd(double(INT32_MIN));
    // Every pixel goes through the vector steps without a branch (a zero
    // sum comes out as zeros, as the scalar shortcut gives), and the few
    // that need the scalar steps are noted and finished again after:
    // branches on the quotients would wait for each division.
    int32_t again[kFinishBatch];
    for (int32_t done = 0; done < count; done += kFinishBatch) {
        const int32_t end = std::min(count, done + kFinishBatch);
        int32_t noted = 0;
        for (int32_t k = done; k < end; ++k) {
            // Read entry by entry: each was just stored alone, and one wide
            // read of several such stores waits until they reach the cache.
            __m256i total = _mm256_set_epi64x(0, totals[k][2], totals[k][1], totals[k][0]);
            total = _mm256_blendv_epi8(total, lowLight, _mm256_cmpgt_epi64(lowLight, total));
            total = _mm256_blendv_epi8(total, highLight, _mm256_cmpgt_epi64(total, highLight));
            const __m256d sum = _mm256_sub_pd(_mm256_castsi256_pd(_mm256_add_epi64(total, magicBits)), magic);
            // The quotient of the magnitude through the reciprocal, put
            // right by one either way where the product's rounding moved it
            // across a whole number; the test products are below 2^53 and
            // exact. A division would cost more than all of it.
            const __m256d product = _mm256_mul_pd(sum, brightness);
            const __m256d size = _mm256_andnot_pd(signBit, product);
            __m256d quotient = _mm256_round_pd(_mm256_mul_pd(size, reciprocal), _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
            quotient = _mm256_sub_pd(quotient,
                                     _mm256_and_pd(_mm256_cmp_pd(_mm256_mul_pd(quotient, divisor), size, _CMP_GT_OQ), one));
            const __m256d next = _mm256_add_pd(quotient, one);
            quotient = _mm256_blendv_pd(quotient, next, _mm256_cmp_pd(_mm256_mul_pd(next, divisor), size, _CMP_LE_OQ));
            const __m256d scaled = _mm256_or_pd(quotient, _mm256_and_pd(signBit, product));
            const __m256d bounded = _mm256_min_pd(_mm256_max_pd(scaled, lowScaled), highScaled);
            // Not over M: the clamp to INT32_MIN..M is the lower bound alone.
            const __m128i rgb = _mm256_cvttpd_epi32(_mm256_max_pd(bounded, lowest));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(&out[at[k]]), _mm_insert_epi32(rgb, discs[k].rimWeight, 3));
            // Over M (the bleed) or on the rim (the disc mix): again.
            const int over = _mm256_movemask_pd(_mm256_cmp_pd(bounded, full, _CMP_GT_OQ));
            again[noted] = k;
            noted += (over != 0) | discs[k].onRim;
        }
        for (int32_t n = 0; n < noted; ++n) {
            const int32_t k = again[n];
            finishSunPixel(s, totals[k], discs[k], &out[at[k]]);
        }
    }
}
#endif

}  // namespace

void finishSunPixels(const SunFrame& s, int64_t (*totals)[3], const DiscLight* discs, const int16_t* at,
                     int32_t count, SunPixel* out) {
#if LUMENFALL_WIDE_VECTORS
    static_assert(sizeof(SunPixel) == 16, "a pixel is one 128-bit store");
    const int64_t brightness = s.masterBrightness;
    constexpr int64_t kExactBrightness = int64_t(1) << 21;
    if (cpuRunsAvx2() && brightness > -kExactBrightness && brightness < kExactBrightness && s.fullScale >= 0) {
        finishWide(s, totals, discs, at, count, out);
        return;
    }
#endif
    finishEach(s, totals, discs, at, count, out);
}

}  // namespace lumenfall
