#include "kernels/glue_compositor.h"

#include <array>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "kernels/glue_modes.h"
#include "kernels/numeric_bounds.h"
#include "kernels/perceptual_colour.h"
#include "params/parameter_block.h"

namespace lumenfall {

namespace {

// Pixels handled per pass over a band span; the arrays live on the stack.
constexpr int32_t kChunk = 256;

const uint8_t* rowOf(const uint8_t* base, int32_t rowBytes, int32_t firstRow, int32_t rowCount,
                     int32_t y) {
    if (base == nullptr) return nullptr;
    int64_t row = static_cast<int64_t>(y) - firstRow;
    if (row < 0 || (rowCount > 0 && row >= rowCount)) return nullptr;
    return base + row * rowBytes;
}

// Channels may sit at odd addresses in the host's rows: copy, never cast.
int32_t readChannel(const uint8_t* pixel, int32_t plane, int32_t bytes) {
    if (bytes == 1) return pixel[plane];
    uint16_t v;
    std::memcpy(&v, pixel + plane * 2, 2);
    return v;
}

void writeChannel(uint8_t* pixel, int32_t plane, int32_t bytes, int32_t value) {
    if (bytes == 1) {
        pixel[plane] = static_cast<uint8_t>(value);
        return;
    }
    uint16_t v = static_cast<uint16_t>(value);
    std::memcpy(pixel + plane * 2, &v, 2);
}

void readSources(const PixelLayout& layout, const uint8_t* row, int32_t first, int32_t count,
                 int32_t (*s)[3]) {
    const int32_t m = layout.fullScale;
    const int64_t step = static_cast<int64_t>(layout.planes) * layout.bytes;
    const uint8_t* pixel = row + first * step;
    if (layout.bytes == 1 && !layout.grey && m == kFullScale8) {
        // Bytes are within 0..255 already.
        for (int32_t i = 0; i < count; ++i, pixel += step)
            for (int c = 0; c < 3; ++c) s[i][c] = pixel[c];
        return;
    }
    for (int32_t i = 0; i < count; ++i, pixel += step) {
        if (layout.grey) {
            s[i][0] = s[i][1] = s[i][2] = clampInt32(readChannel(pixel, 0, layout.bytes), 0, m);
        } else {
            for (int c = 0; c < 3; ++c) s[i][c] = clampInt32(readChannel(pixel, c, layout.bytes), 0, m);
        }
    }
}

void writeFinal(const PixelLayout& layout, uint8_t* row, int32_t first, int32_t count,
                const int32_t (*result)[3], const int32_t* alpha) {
    const int64_t step = static_cast<int64_t>(layout.planes) * layout.bytes;
    uint8_t* pixel = row + first * step;
    if (layout.bytes == 1 && layout.colourPlanes == 3 && !layout.transparency) {
        for (int32_t i = 0; i < count; ++i, pixel += step)
            for (int c = 0; c < 3; ++c) pixel[c] = static_cast<uint8_t>(result[i][c]);
        return;
    }
    for (int32_t i = 0; i < count; ++i, pixel += step) {
        for (int c = 0; c < layout.colourPlanes; ++c) writeChannel(pixel, c, layout.bytes, result[i][c]);
        if (layout.transparency) writeChannel(pixel, layout.planes - 1, layout.bytes, alpha[i]);
    }
}

// Selection value of a preview pixel: 255 without a mask, the mask byte
// inside the mask band, 0 outside it.
int32_t selectionValue(const HostBand& band, const uint8_t* maskRow, int32_t x) {
    if (band.maskData == nullptr) return 255;
    return maskRow == nullptr ? 0 : maskRow[x];
}

void writePreview(const HostBand& band, const PixelLayout& layout, uint8_t* row, int32_t y, int32_t first,
                  int32_t count, const int32_t (*result)[3], const int32_t* alpha) {
    const uint8_t* maskRow = rowOf(band.maskData, band.maskRowBytes, band.maskFirstRow, band.maskRowCount, y);
    const int64_t step = static_cast<int64_t>(layout.planes) * layout.bytes;
    uint8_t* pixel = row + first * step;
    if (layout.bytes == 1 && !layout.transparency && band.maskData == nullptr) {
        // Without a selection every pixel is selected (255, weighed as 256)
        // and the checker weighs 0: the blend's result is shown as it is.
        for (int32_t i = 0; i < count; ++i, pixel += step)
            for (int c = 0; c < layout.colourPlanes; ++c) pixel[c] = static_cast<uint8_t>(result[i][c]);
        return;
    }
    for (int32_t i = 0; i < count; ++i, pixel += step) {
        const int32_t x = first + i;
        const bool lightSquare = ((x & 8) ^ (y & 8)) == 0;
        int32_t g = selectionValue(band, maskRow, x);
        int32_t out[3];
        if (layout.bytes == 1) {
            const int32_t checker = lightSquare ? 255 : 204;
            if (g > 127) g += 1;
            if (layout.transparency) g = (g * alpha[i]) >> 8;
            for (int c = 0; c < 3; ++c) out[c] = (checker * (256 - g) + g * result[i][c]) >> 8;
        } else {
            // 16-bit weights g against 255 - g, as the preview always did.
            const int32_t checker = lightSquare ? 32640 : 26112;
            if (layout.transparency) g = (g * alpha[i]) >> 15;
            for (int c = 0; c < 3; ++c) out[c] = (checker * (255 - g) + g * result[i][c]) >> 8;
        }
        for (int c = 0; c < layout.colourPlanes; ++c) writeChannel(pixel, c, layout.bytes, out[c]);
        if (layout.transparency) writeChannel(pixel, layout.planes - 1, layout.bytes, layout.fullScale);
    }
}

}  // namespace

int32_t compositeFullScale(int32_t depth) {
    if (depth == 8) return kFullScale8;
    if (depth == 16) return kFullScale16;
    return 0;
}

bool pixelLayoutOf(int32_t depth, int32_t planes, bool editableTransparency, PixelLayout* layout) {
    layout->fullScale = compositeFullScale(depth);
    if (layout->fullScale == 0) return false;
    layout->bytes = depth == 8 ? 1 : 2;
    layout->planes = planes;
    layout->transparency = editableTransparency;
    const int32_t colourPlanes = planes - (editableTransparency ? 1 : 0);
    if (colourPlanes < 1) return false;
    layout->grey = colourPlanes < 3;
    layout->colourPlanes = layout->grey ? 1 : 3;
    return true;
}

namespace {

// Whether a dark pixel (no light, outside the disc) blends channel by
// channel under the glue, each channel's result depending on that channel
// alone: "color" and "luminance" blend whole pixels, and "composite" over
// transparency writes the transparency too.
constexpr bool darkBlendsByChannel(int32_t mode, bool transparency) {
    return !(mode == kGlueColor || mode == kGlueLuminance || (mode == kGlueComposite && transparency));
}

// What channel s (0..M) becomes under a dark pixel, for such a glue; blend
// is the mode's channel formula at M.
LF_ALWAYS_INLINE inline int32_t darkChannelOf(int32_t mode, ChannelBlend blend, int32_t s, int32_t m,
                                              const int32_t* weights) {
    const int32_t v = mode == kGlueComposite ? compositeOpaque(0, s, 4, m) : blend(0, s, weights);
    return clampInt32(v, 0, m);
}

}  // namespace

bool darkChannelTable(const GlueSetup& setup, int32_t table[256]) {
    const PixelLayout& layout = setup.layout;
    if (layout.fullScale != kFullScale8) return false;
    const int32_t mode = setup.glue;
    if (!darkBlendsByChannel(mode, layout.transparency)) return false;
    const ChannelBlend blend = channelBlendOf(kFullScale8, mode);
    for (int32_t s = 0; s < 256; ++s) table[s] = darkChannelOf(mode, blend, s, kFullScale8, setup.proceduralWeights);
    return true;
}

namespace {

// Compared as bytes: two wide compares rather than four narrow ones.
bool isDark(const SunPixel& px) {
    static constexpr SunPixel kDark = {{0, 0, 0}, 4};
    return std::memcmp(&px, &kDark, sizeof(SunPixel)) == 0;
}

#if defined(__SSE2__)
// The effect's three channels in the image's range at once (full: M as a
// float, top: M), lane by lane the same float steps as blendPixels' scalar
// ones: truncated, saturated and capped at M, NaN and below 0 giving 0. The
// fourth lane, the rim weight, is to be dropped.
inline __m128i effectInRange(const SunPixel& px, __m128 full, __m128 inverseScale, __m128i top) {
    static_assert(sizeof(SunPixel) == 16, "a pixel fills one vector");
    const __m128 scaled = _mm_mul_ps(
        full, _mm_mul_ps(_mm_cvtepi32_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&px))), inverseScale));
    const __m128i below = _mm_castps_si128(_mm_cmplt_ps(scaled, full));
    const __m128i whole = _mm_or_si128(_mm_and_si128(below, _mm_cvttps_epi32(scaled)), _mm_andnot_si128(below, top));
    return _mm_and_si128(_mm_castps_si128(_mm_cmpgt_ps(scaled, _mm_setzero_ps())), whole);
}

// effectInRange with its constants for full scale M, set once for a run.
struct EffectInRange {
    __m128 full, inverseScale;
    __m128i top;
    EffectInRange(const GlueSetup& setup, int32_t m)
        : full(_mm_set1_ps(float(m))), inverseScale(_mm_set1_ps(setup.inverseScale)), top(_mm_set1_epi32(m)) {}
    __m128i operator()(const SunPixel& px) const { return effectInRange(px, full, inverseScale, top); }
};
#endif

// The blend of a span. Mode, M and the channel formula Blend are constants
// in the span functions of the dispatch table, so that the per-pixel choice
// of formula folds away and Blend is inlined; Mode and M 0 (and Blend null)
// read them from the setup instead (any mode, any full scale).
template <int32_t Mode, int32_t M, ChannelBlend Blend>
void blendPixels(const GlueSetup& setup, const SunPixel* effect, const int32_t (*source)[3], int32_t count,
                 int32_t (*result)[3], int32_t* alpha) {
    const PixelLayout& layout = setup.layout;
    const int32_t m = M != 0 ? M : layout.fullScale;
    const float mf = static_cast<float>(m);
    const int32_t mode = Mode != 0 ? Mode : setup.glue;
    const ChannelBlend blendAnyMode = Blend != nullptr ? Blend : channelBlendOf(m, mode);
    const int32_t* weights = setup.proceduralWeights;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t* s = source[i];
        const SunPixel& px = effect[i];
        const bool dark = isDark(px);
        if (dark && setup.darkChannel) {
            for (int c = 0; c < 3; ++c) result[i][c] = setup.darkChannel[s[c]];
            alpha[i] = m;
            continue;
        }
        // Effect in the image's range; negative light is none. The renderer's
        // full coverage always makes the starting transparency M. No light
        // is 0 in any range.
        int32_t e[3] = {0, 0, 0};
#if defined(__SSE2__)
        if (!dark && !layout.grey) {
            // The three channels at once, as below.
            alignas(16) int32_t lanes[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(lanes),
                            effectInRange(px, _mm_set1_ps(mf), _mm_set1_ps(setup.inverseScale), _mm_set1_epi32(m)));
            e[0] = lanes[0];
            e[1] = lanes[1];
            e[2] = lanes[2];
        } else
#endif
        if (!dark) {
            for (int c = 0; c < 3; ++c) {
                const float fraction = static_cast<float>(px.rgb[c]) * setup.inverseScale;
                const float scaled = mf * fraction;
                if (layout.grey) {
                    e[c] = saturateToInt32(scaled);
                    if (e[c] < 0) e[c] = 0;
                } else {
                    // Colour channels are capped at M below: truncated,
                    // saturated and capped in one (NaN and below 0 give 0).
                    e[c] = scaled > 0.0f ? (scaled < mf ? static_cast<int32_t>(scaled) : m) : 0;
                }
            }
        }
        int32_t a = m;
        if (layout.grey) {
            const int64_t grey = (INT64_C(77) * e[0] + INT64_C(150) * e[1] + INT64_C(28) * e[2]) >> 8;
            e[0] = static_cast<int32_t>(clampInt64(grey, 0, INT32_MAX));
        }
        for (int c = 0; c < 3; ++c) {
            if (e[c] > m) e[c] = m;
        }

        const int32_t w = clampInt32(px.rimWeight, 0, 4);
        int32_t* out = result[i];
        out[0] = e[0];
        out[1] = e[1];
        out[2] = e[2];
        if (mode == kGlueComposite) {
            if (layout.transparency) {
                a = compositeTransparent(out, w, m);
            } else {
                for (int c = 0; c < 3; ++c) out[c] = compositeOpaque(e[c], s[c], w, m);
            }
        } else if (mode == kGlueColor) {
            blendColor(out, s, m, 1.0f / mf);
        } else if (mode == kGlueLuminance) {
            blendLuminance(out, s, m, 1.0f / mf);
        } else if constexpr (Mode != 0) {
            // A fixed mode's span function always carries its formula as Blend.
            // (Mode, not Blend != nullptr: a sanitizer build does not take a
            // function's address compared with null as a constant.)
            for (int c = 0; c < 3; ++c) out[c] = Blend(e[c], s[c], weights);
        } else {
            for (int c = 0; c < 3; ++c) out[c] = blendAnyMode(e[c], s[c], weights);
        }
        for (int c = 0; c < 3; ++c) out[c] = clampInt32(out[c], 0, m);
        alpha[i] = clampInt32(a, 0, m);
    }
}

// The span function of a mode at M = 255 or M = 32768, with that depth's
// channel formula of the mode.
template <int32_t M, int32_t Mode>
constexpr BlendSpanFunction spanFunction() {
    return blendPixels<Mode, M, channelBlendOf(M, Mode)>;
}

// The span functions of every glue mode at one full scale, by mode; the
// first entry, "normal", stands for any mode outside 1..19.
template <int32_t M, int32_t... Modes>
constexpr std::array<BlendSpanFunction, sizeof...(Modes) + 1> spanTable(std::integer_sequence<int32_t, Modes...>) {
    return {spanFunction<M, kGlueNormal>(), spanFunction<M, Modes + 1>()...};
}
constexpr auto kSpans8 = spanTable<kFullScale8>(std::make_integer_sequence<int32_t, kGlueModeCount>{});
constexpr auto kSpans16 = spanTable<kFullScale16>(std::make_integer_sequence<int32_t, kGlueModeCount>{});

}  // namespace

BlendSpanFunction blendSpanFunction(const GlueSetup& setup) {
    // Unknown modes blend as "normal", which the first entry is.
    const size_t index = glueTableIndex(setup.glue);
    if (setup.layout.fullScale == kFullScale8) return kSpans8[index];
    if (setup.layout.fullScale == kFullScale16) return kSpans16[index];
    return blendPixels<0, 0, nullptr>;
}

void blendSpan(const GlueSetup& setup, const SunPixel* effect, const int32_t (*source)[3], int32_t count,
               int32_t (*result)[3], int32_t* alpha) {
    blendSpanFunction(setup)(setup, effect, source, count, result, alpha);
}

void blendSpanPerPixel(const GlueSetup& setup, const SunPixel* effect, const int32_t (*source)[3], int32_t count,
                       int32_t (*result)[3], int32_t* alpha) {
    blendPixels<0, 0, nullptr>(setup, effect, source, count, result, alpha);
}

namespace {

// A run of dark pixels written as the final result at 8 bits: every colour
// channel through the dark table, straight from the input row to the
// output row (what reading, blending and writing them gives).
void writeDarkRun8(const GlueSetup& setup, const uint8_t* in, uint8_t* out, int32_t first, int32_t count) {
    const PixelLayout& layout = setup.layout;
    const int32_t* table = setup.darkChannel;
    const int64_t step = layout.planes;
    const uint8_t* from = in + first * step;
    uint8_t* to = out + first * step;
    if (layout.planes == 3 && !layout.grey && !layout.transparency) {
        for (int64_t j = 0; j < 3 * int64_t(count); ++j) to[j] = static_cast<uint8_t>(table[from[j]]);
        return;
    }
    for (int32_t i = 0; i < count; ++i, from += step, to += step) {
        for (int c = 0; c < layout.colourPlanes; ++c) to[c] = static_cast<uint8_t>(table[from[c]]);
        if (layout.transparency) to[layout.planes - 1] = static_cast<uint8_t>(layout.fullScale);
    }
}

// A run of dark pixels written as the final result at 16 bits, three
// colour planes and no transparency: each channel as under the 8-bit table,
// computed in place of a table of 32,769 entries, without the blend's
// per-pixel steps. Mode and Blend as in blendPixels.
template <int32_t Mode, ChannelBlend Blend>
void writeDarkRun16(const GlueSetup& setup, const uint8_t* in, uint8_t* out, int32_t first, int32_t count) {
    constexpr int32_t m = kFullScale16;
    const int32_t* weights = setup.proceduralWeights;
    const uint8_t* from = in + int64_t(first) * 6;
    uint8_t* to = out + int64_t(first) * 6;
    for (int64_t j = 0; j < 3 * int64_t(count); ++j) {
        uint16_t sample;
        std::memcpy(&sample, from + 2 * j, 2);
        const int32_t s = sample > m ? m : sample;
        const uint16_t written = static_cast<uint16_t>(darkChannelOf(Mode, Blend, s, m, weights));
        std::memcpy(to + 2 * j, &written, 2);
    }
}

using DarkRunFunction = void (*)(const GlueSetup& setup, const uint8_t* in, uint8_t* out, int32_t first,
                                 int32_t count);

// Only the glues whose dark pixels blend channel by channel have dark runs.
template <int32_t Mode>
constexpr DarkRunFunction darkRunFunction16() {
    if constexpr (!darkBlendsByChannel(Mode, false)) {
        return nullptr;
    } else {
        return writeDarkRun16<Mode, channelBlendOf(kFullScale16, Mode)>;
    }
}

template <int32_t... Modes>
constexpr std::array<DarkRunFunction, sizeof...(Modes) + 1> darkRunTable16(std::integer_sequence<int32_t, Modes...>) {
    return {darkRunFunction16<kGlueNormal>(), darkRunFunction16<Modes + 1>()...};
}
constexpr auto kDarkRuns16 = darkRunTable16(std::make_integer_sequence<int32_t, kGlueModeCount>{});

// Whether the glue puts the effect in place of the image's colour channels
// ("normal", and any value outside the modes, which blends as it).
bool glueKeepsEffect(int32_t mode) { return glueTableIndex(mode) == 0 || mode == kGlueNormal; }

// A run of lit pixels written as the final result at 8 bits, three colour
// planes and no transparency, by a glue that keeps the effect: each channel
// is the effect in the image's range (what blending gives), and the image's
// own pixels need not be read. The same float steps as blendPixels. (Not
// inlined: in the span's loop it made the dark runs' loop slower.)
[[gnu::noinline]] void writeEffectRun8(const GlueSetup& setup, uint8_t* out, int32_t first, int32_t count,
                                       const SunPixel* effect) {
    uint8_t* to = out + int64_t(first) * 3;
#if defined(__SSE2__)
    const EffectInRange channels(setup, kFullScale8);
    int32_t i = 0;
    for (; i + 4 <= count; i += 4, to += 12) {
        // Four pixels' (r g b rim) as bytes, each 0..255; the rim bytes are
        // left out.
        alignas(16) uint8_t bytes[16];
        const __m128i low = _mm_packs_epi32(channels(effect[i]), channels(effect[i + 1]));
        const __m128i high = _mm_packs_epi32(channels(effect[i + 2]), channels(effect[i + 3]));
        _mm_store_si128(reinterpret_cast<__m128i*>(bytes), _mm_packus_epi16(low, high));
        for (int p = 0; p < 4; ++p) std::memcpy(to + 3 * p, bytes + 4 * p, 3);
    }
    for (; i < count; ++i, to += 3) {
        alignas(16) int32_t lanes[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), channels(effect[i]));
        for (int c = 0; c < 3; ++c) to[c] = uint8_t(lanes[c]);
    }
#else
    const float mf = float(kFullScale8);
    for (int32_t i = 0; i < count; ++i, to += 3) {
        for (int c = 0; c < 3; ++c) {
            const float scaled = mf * (float(effect[i].rgb[c]) * setup.inverseScale);
            to[c] = uint8_t(scaled > 0.0f ? (scaled < mf ? int32_t(scaled) : kFullScale8) : 0);
        }
    }
#endif
}

// writeEffectRun8 at 16 bits: each channel the effect in the image's range
// (0..32768), two bytes a channel in the host's order.
[[gnu::noinline]] void writeEffectRun16(const GlueSetup& setup, uint8_t* out, int32_t first, int32_t count,
                                        const SunPixel* effect) {
    uint8_t* to = out + int64_t(first) * 6;
#if defined(__SSE2__)
    const EffectInRange inRange(setup, kFullScale16);
    // Channels 0..32768 taken down by 32768 fit signed 16-bit lanes, where
    // the pack does not saturate them; the top bit flipped back restores them.
    const __m128i half = _mm_set1_epi32(kFullScale16), flip = _mm_set1_epi16(int16_t(-32768));
    const auto channels = [&](const SunPixel& px) { return _mm_sub_epi32(inRange(px), half); };
    int32_t i = 0;
    for (; i + 2 <= count; i += 2, to += 12) {
        // Two pixels' (r g b rim) as 16-bit samples; the rim samples are
        // left out.
        alignas(16) uint8_t samples[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(samples),
                        _mm_xor_si128(_mm_packs_epi32(channels(effect[i]), channels(effect[i + 1])), flip));
        std::memcpy(to, samples, 6);
        std::memcpy(to + 6, samples + 8, 6);
    }
    for (; i < count; ++i, to += 6) {
        alignas(16) int32_t lanes[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), inRange(effect[i]));
        for (int c = 0; c < 3; ++c) {
            const uint16_t v = uint16_t(lanes[c]);
            std::memcpy(to + 2 * c, &v, 2);
        }
    }
#else
    const float mf = float(kFullScale16);
    for (int32_t i = 0; i < count; ++i, to += 6) {
        for (int c = 0; c < 3; ++c) {
            const float scaled = mf * (float(effect[i].rgb[c]) * setup.inverseScale);
            const uint16_t v = uint16_t(scaled > 0.0f ? (scaled < mf ? int32_t(scaled) : kFullScale16) : 0);
            std::memcpy(to + 2 * c, &v, 2);
        }
    }
#endif
}

// Pixels first .. first + count - 1 (count <= kChunk) read, blended and written.
void compositeRun(const GlueSetup& setup, BlendSpanFunction blend, const HostBand& band, BandWrite how,
                  const uint8_t* in, uint8_t* out, int32_t row, int32_t first, int32_t count, const SunPixel* effect) {
    int32_t source[kChunk][3];
    int32_t result[kChunk][3];
    int32_t alpha[kChunk];
    readSources(setup.layout, in, first, count, source);
    blend(setup, effect, source, count, result, alpha);
    if (how == BandWrite::Final) {
        writeFinal(setup.layout, out, first, count, result, alpha);
    } else {
        writePreview(band, setup.layout, out, row, first, count, result, alpha);
    }
}

// The length of the run of pixels from effect[0] on (at most count) that
// are all dark, or all not.
int32_t runOfSameDarkness(const SunPixel* effect, int32_t count, bool dark) {
    int32_t n = 0;
    while (n < count && isDark(effect[n]) == dark) ++n;
    return n;
}

}  // namespace

bool compositeBandSpan(const GlueSetup& setup, const HostBand& band, BandWrite how, int32_t row,
                       int32_t first, int32_t count, const SunPixel* effect) {
    if (band.inData == nullptr || band.outData == nullptr) return false;
    const uint8_t* in = rowOf(band.inData, band.inRowBytes, band.inFirstRow, band.inRowCount, row);
    uint8_t* out = const_cast<uint8_t*>(rowOf(band.outData, band.outRowBytes, band.outFirstRow, band.outRowCount, row));
    if (in == nullptr || out == nullptr) return true;
    const BlendSpanFunction blend = blendSpanFunction(setup);
    // Most of a picture lies beyond the sun's reach: runs of dark pixels in
    // the final write are mapped byte for byte. So are the preview's where
    // it has no selection and no transparency: it then shows the blend's
    // result as it is, the bytes of the final write.
    const bool writesResult =
        how == BandWrite::Final || (band.maskData == nullptr && !setup.layout.transparency);
    const bool darkRuns8 = writesResult && setup.darkChannel != nullptr && setup.layout.fullScale == kFullScale8 &&
                           setup.layout.bytes == 1;
    // At 16 bits the preview does not show the result as it is: only the
    // final write has dark runs.
    const DarkRunFunction darkRun16 =
        setup.darkRuns16 && how == BandWrite::Final && setup.layout.fullScale == kFullScale16 &&
                setup.layout.bytes == 2 && setup.layout.planes == 3 && !setup.layout.grey
            ? kDarkRuns16[glueTableIndex(setup.glue)]
            : nullptr;
    const bool darkRuns = darkRuns8 || darkRun16 != nullptr;
    // Between the dark runs, only lit pixels: where the glue keeps the
    // effect they are the effect alone. (Three planes in colour leave none
    // for transparency.)
    const bool effectRuns =
        darkRuns8 && setup.layout.planes == 3 && !setup.layout.grey && glueKeepsEffect(setup.glue);
    const bool effectRuns16 = darkRun16 != nullptr && glueKeepsEffect(setup.glue);
    for (int32_t done = 0; done < count;) {
        if (darkRuns) {
            const int32_t dark = runOfSameDarkness(effect + done, count - done, true);
            if (darkRun16 != nullptr) {
                darkRun16(setup, in, out, first + done, dark);
            } else {
                writeDarkRun8(setup, in, out, first + done, dark);
            }
            done += dark;
            if (done == count) break;
        }
        const int32_t most = count - done < kChunk ? count - done : kChunk;
        // Not empty: a dark run stops at a lit pixel.
        const int32_t n = darkRuns ? runOfSameDarkness(effect + done, most, false) : most;
        if (effectRuns) {
            writeEffectRun8(setup, out, first + done, n, effect + done);
        } else if (effectRuns16) {
            writeEffectRun16(setup, out, first + done, n, effect + done);
        } else {
            compositeRun(setup, blend, band, how, in, out, row, first + done, n, effect + done);
        }
        done += n;
    }
    return true;
}

bool previewSourceSpan(const HostBand& band, int32_t row, int32_t first, int32_t count) {
    if (band.inData == nullptr || band.outData == nullptr) return false;
    PixelLayout layout;
    if (!pixelLayoutOf(band.depth, band.planes, band.editableTransparency, &layout)) return false;
    const uint8_t* in = rowOf(band.inData, band.inRowBytes, band.inFirstRow, band.inRowCount, row);
    uint8_t* out = const_cast<uint8_t*>(rowOf(band.outData, band.outRowBytes, band.outFirstRow, band.outRowCount, row));
    if (in == nullptr || out == nullptr) return true;
    int32_t source[kChunk][3];
    int32_t alpha[kChunk];
    const int64_t step = static_cast<int64_t>(layout.planes) * layout.bytes;
    for (int32_t done = 0; done < count; done += kChunk) {
        const int32_t n = count - done < kChunk ? count - done : kChunk;
        readSources(layout, in, first + done, n, source);
        for (int32_t i = 0; i < n; ++i) {
            const uint8_t* pixel = in + (first + done + i) * step;
            alpha[i] = layout.transparency ? clampInt32(readChannel(pixel, layout.planes - 1, layout.bytes), 0,
                                                        layout.fullScale)
                                           : layout.fullScale;
        }
        writePreview(band, layout, out, row, first + done, n, source, alpha);
    }
    return true;
}

}  // namespace lumenfall
