#include "kernels/sun_finish.h"

#include <algorithm>

#include "kernels/cpu_features.h"

#if LUMENFALL_WIDE_VECTORS
#include <immintrin.h>
#endif

namespace lumenfall {
namespace {

// Pixels finished in a batch before those of them that need the scalar
// steps are (a bit each in a 64-bit mask).
constexpr int32_t kFinishBatch = 64;

// finishSunPixel of pixel k of the span.
inline void finishOne(const SunFrame& s, const SpanTotals& totals, const DiscLight* discs, const int16_t* at,
                      int32_t k, SunPixel* out) {
    int64_t total[3] = {totals.rgb[0][k], totals.rgb[1][k], totals.rgb[2][k]};
    finishSunPixel(s, total, discs[k], &out[at[k]]);
}

void finishEach(const SunFrame& s, const SpanTotals& totals, const DiscLight* discs, const int16_t* at,
                int32_t count, SunPixel* out) {
    for (int32_t k = 0; k < count; ++k) finishOne(s, totals, discs, at, k, out);
}

#if LUMENFALL_WIDE_VECTORS
// One channel of four pixels a vector, in doubles, which hold every step
// exactly: the bounded sum (|x| <= 2^31) times a master brightness below
// 2^21 stays below 2^52; its magnitude times the divisor's reciprocal is
// within 2^-51 of the quotient relatively, so less than 1 from it, and
// truncates to the integer quotient or a neighbour of it, which products of
// whole numbers below 2^53 (exact) tell apart; and the bounds after it are
// whole numbers below 2^53. Pixels on the rim or with a channel over M take
// the scalar steps.
struct WideFinish {
    __m256i lowLight, highLight, magicBits;
    __m256d magic, brightness, divisor, reciprocal, one, signBit, lowScaled, highScaled, full, lowest;

    [[gnu::target("avx2")]] explicit WideFinish(const SunFrame& s) {
        lowLight = _mm256_set1_epi64x(-kMaxLight);
        highLight = _mm256_set1_epi64x(kMaxLight);
        // A whole number x, |x| < 2^51, added to the bits of 2^52 + 2^51
        // gives the bits of the double 2^52 + 2^51 + x.
        magicBits = _mm256_set1_epi64x(INT64_C(0x4338000000000000));
        magic = _mm256_set1_pd(6755399441055744.0);
        brightness = _mm256_set1_pd(double(s.masterBrightness));
        const double divisorValue = s.eightBit ? 25.0 * 129.0 : 25.0;
        divisor = _mm256_set1_pd(divisorValue);
        reciprocal = _mm256_set1_pd(1.0 / divisorValue);
        one = _mm256_set1_pd(1.0);
        signBit = _mm256_set1_pd(-0.0);
        lowScaled = _mm256_set1_pd(double(-kMaxScaledLight));
        highScaled = _mm256_set1_pd(double(kMaxScaledLight));
        full = _mm256_set1_pd(double(s.fullScale));
        lowest = _mm256_set1_pd(double(INT32_MIN));
    }

    // One channel of four pixels: their finished values (right where none
    // is over M) and, in *over, a bit for each that is.
    [[gnu::target("avx2")]] __m128i channel(const int64_t* sums, int* over) const {
        __m256i total = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums));
        total = _mm256_blendv_epi8(total, lowLight, _mm256_cmpgt_epi64(lowLight, total));
        total = _mm256_blendv_epi8(total, highLight, _mm256_cmpgt_epi64(total, highLight));
        const __m256d sum = _mm256_sub_pd(_mm256_castsi256_pd(_mm256_add_epi64(total, magicBits)), magic);
        // The quotient of the magnitude through the reciprocal, put right by
        // one either way where the product's rounding moved it across a
        // whole number; a division would cost more than all of it.
        const __m256d product = _mm256_mul_pd(sum, brightness);
        const __m256d size = _mm256_andnot_pd(signBit, product);
        __m256d quotient = _mm256_round_pd(_mm256_mul_pd(size, reciprocal), _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
        quotient = _mm256_sub_pd(quotient,
                                 _mm256_and_pd(_mm256_cmp_pd(_mm256_mul_pd(quotient, divisor), size, _CMP_GT_OQ), one));
        const __m256d next = _mm256_add_pd(quotient, one);
        quotient = _mm256_blendv_pd(quotient, next, _mm256_cmp_pd(_mm256_mul_pd(next, divisor), size, _CMP_LE_OQ));
        const __m256d scaled = _mm256_or_pd(quotient, _mm256_and_pd(signBit, product));
        const __m256d bounded = _mm256_min_pd(_mm256_max_pd(scaled, lowScaled), highScaled);
        *over |= _mm256_movemask_pd(_mm256_cmp_pd(bounded, full, _CMP_GT_OQ));
        // Not over M: the clamp to INT32_MIN..M is the lower bound alone.
        return _mm256_cvttpd_epi32(_mm256_max_pd(bounded, lowest));
    }
};

// Four pixels a step, each vector one channel of the four; the channels
// and the rim weights are then turned into four pixels. Every pixel goes
// through the vector steps without a branch (a zero sum comes out as zeros,
// as the scalar shortcut gives), and the few that need the scalar steps are
// noted and finished again after: branches on the quotients would wait for
// each of them.
[[gnu::target("avx2")]] void finishWide(const SunFrame& s, const SpanTotals& totals, const DiscLight* discs,
                                         const int16_t* at, int32_t count, SunPixel* out) {
    const WideFinish wide(s);
    const int32_t fours = count & ~3;
    for (int32_t done = 0; done < fours; done += kFinishBatch) {
        const int32_t end = std::min(fours, done + kFinishBatch);
        // A bit for each pixel of the batch to finish again.
        uint64_t again = 0;
        for (int32_t k = done; k < end; k += 4) {
            int over = 0;
            const __m128i r = wide.channel(&totals.rgb[0][k], &over);
            const __m128i g = wide.channel(&totals.rgb[1][k], &over);
            const __m128i b = wide.channel(&totals.rgb[2][k], &over);
            const __m128i w = _mm_setr_epi32(discs[k].rimWeight, discs[k + 1].rimWeight, discs[k + 2].rimWeight,
                                             discs[k + 3].rimWeight);
            // (r, g, b, w) of four pixels into four (r g b w) pixels.
            const __m128i rg01 = _mm_unpacklo_epi32(r, g), rg23 = _mm_unpackhi_epi32(r, g);
            const __m128i bw01 = _mm_unpacklo_epi32(b, w), bw23 = _mm_unpackhi_epi32(b, w);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(&out[at[k]]), _mm_unpacklo_epi64(rg01, bw01));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(&out[at[k + 1]]), _mm_unpackhi_epi64(rg01, bw01));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(&out[at[k + 2]]), _mm_unpacklo_epi64(rg23, bw23));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(&out[at[k + 3]]), _mm_unpackhi_epi64(rg23, bw23));
            // Over M (the bleed) or on the rim (the disc mix): again.
            const unsigned rim = unsigned(discs[k].onRim) | unsigned(discs[k + 1].onRim) << 1 |
                                 unsigned(discs[k + 2].onRim) << 2 | unsigned(discs[k + 3].onRim) << 3;
            again |= uint64_t(unsigned(over) | rim) << (k - done);
        }
        for (; again != 0; again &= again - 1) finishOne(s, totals, discs, at, done + __builtin_ctzll(again), out);
    }
    for (int32_t k = fours; k < count; ++k) finishOne(s, totals, discs, at, k, out);
}
#endif

}  // namespace

void finishSunPixels(const SunFrame& s, const SpanTotals& totals, const DiscLight* discs, const int16_t* at,
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
