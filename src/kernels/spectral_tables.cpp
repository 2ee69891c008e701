#include "kernels/spectral_tables.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "kernels/numeric_bounds.h"
#include "kernels/spectral_locus.h"

namespace lumenfall {
namespace {

constexpr int kLastWavelengthEntry = kSpectralLocusCount - 1;  // 80

// Widest spike brightness that changes a stored SpikeRamp entry: any nonzero
// tinted value times 100 * 32768 / 100 already saturates the 16-bit entry.
constexpr int64_t kSpikeBrightnessBound = int64_t(100) * 32768;

void fadeSpikeEnds(int32_t base[3][kSpectralBaseEntries]) {
    for (int c = 0; c < 3; ++c) {
        for (int k = 0; k <= 5; ++k) base[c][k] = base[c][k] * k / 5;
        for (int k = 0; k <= 10; ++k) base[c][80 - k] = base[c][80 - k] * k / 10;
    }
}

void buildSpikeRamp(const ParameterBlock& block, SunTables& tables) {
    int32_t (*base)[kSpectralBaseEntries] = tables.spectralBase;
    buildSpectralBase(kSpectralBuildSpike, base);
    fadeSpikeEnds(base);
    const int64_t diffraction = block.spikeDiffraction;
    const int64_t brightness = std::clamp<int64_t>(block.spikeBrightness, -kSpikeBrightnessBound,
                                                   kSpikeBrightnessBound);
    for (int j = 0; j < kSpikeRampEntries; ++j) {
        int64_t sum[3] = {0, 0, 0};
        for (int order = 1; order <= 17; ++order) addSpectrumSample(base, (200 * j) / order, sum);
        for (int c = 0; c < 3; ++c) {
            // Mix with white: 0 gives plain white spikes, 100 the pure spectral sum.
            int64_t v = (sum[c] * diffraction + (100 - diffraction) * 255) / 100;
            v = (v * (block.spikeColor[c] >> 8)) >> 8;
            v = v * brightness / 100;
            tables.spikeRamp[c][j] = saturateTo<int16_t>(v);
        }
    }
}

void buildBowBase(const ParameterBlock& block, SunTables& tables) {
    int32_t plain[3][kSpectralBaseEntries];
    buildSpectralBase(kSpectralBuildBow, plain);
    int64_t bow[3][kSpectralBaseEntries];
    for (int c = 0; c < 3; ++c) {
        for (int k = 0; k < kSpectralBaseEntries; ++k) {
            // Blur over the 12 entries below k: the first 12 entries start
            // dark and the spectrum's end reaches entry 92.
            int64_t sum = 0;
            for (int j = std::max(k - 12, 0); j <= std::min(k - 1, kLastWavelengthEntry); ++j)
                sum += plain[c][j];
            int64_t v = sum / 12;
            v = (v * (block.sunColor[c] >> 9)) >> 8;  // a white sun halves the values
            v = (v * int64_t(block.bowBrightness)) >> 6;  // 64 leaves it unchanged
            bow[c][k] = v;
        }
    }
    for (int k = 0; k < kSpectralBaseEntries; ++k) {
        bow[kChannelGreen][k] = (bow[kChannelGreen][k] * 222) >> 8;
        bow[kChannelBlue][k] = (bow[kChannelBlue][k] * 275) >> 8;
    }
    if (switchOn(block.flipBow)) {
        // Red inside, violet outside.
        for (int c = 0; c < 3; ++c) std::reverse(bow[c], bow[c] + kSpectralBaseEntries);
    }
    // Only the low 16 bits of each value reach BowSpectrum; keeping the value
    // modulo 2^32 here keeps those bits.
    for (int c = 0; c < 3; ++c)
        for (int k = 0; k < kSpectralBaseEntries; ++k)
            tables.spectralBase[c][k] = int32_t(uint32_t(uint64_t(bow[c][k])));
}

// Sum of max(half - |d|, 0) over d <= x.
int64_t weightsUpTo(int64_t half, int64_t x) {
    if (x <= -half) return 0;
    if (x <= 0) {
        const int64_t m = x + half;
        return m * (m + 1) / 2;
    }
    const int64_t atZero = half * (half + 1) / 2;
    if (x >= half - 1) return half * half;
    return atZero + x * half - x * (x + 1) / 2;
}

}  // namespace

void chromaticityToRgb(double x, double y, double z, double rgb[3]) {
    // Cofactors of the matrix whose columns are the primaries' (x, y, z):
    // red (0.64, 0.33), green (0.29, 0.60), blue (0.15, 0.06); determinant 0.2268.
    rgb[0] = (0.4674 * x - 0.2126 * y - 0.0726 * z) / 0.2268;
    rgb[1] = (-0.2589 * x + 0.5011 * y + 0.0111 * z) / 0.2268;
    rgb[2] = (0.0183 * x - 0.0617 * y + 0.2883 * z) / 0.2268;
    for (int c = 0; c < 3; ++c)
        if (rgb[c] < 0) rgb[c] = 0;
}

void buildSpectralBase(int mode, int32_t base[3][kSpectralBaseEntries]) {
    const Chromaticity* locus = spectralLocus();
    for (int i = 0; i < kSpectralLocusCount; ++i) {
        const int nm = kSpectralFirstNanometre + kSpectralStepNanometres * i;
        const float lambda = float(nm);
        double rgb[3];
        chromaticityToRgb(locus[i].x, locus[i].y, 1.0 - locus[i].x - locus[i].y, rgb);
        // The bow fades out at both ends of the spectrum.
        float falloff = 1.0f;
        float exponent[3] = {0.1f, 0.1f, 0.3f};
        if (mode == kSpectralBuildBow) {
            if (nm > 600) falloff = (780.0f - lambda) / 180.0f;
            if (nm < 440) falloff = (lambda - 380.0f) / 60.0f;
            if (nm < 500) exponent[0] = 0.1f + 0.2f * (500.0f - lambda) / 120.0f;
            exponent[1] = 0.02f;
        }
        // Small exponents make every channel present at a wavelength nearly
        // full: saturated, flat spectral bands.
        for (int c = 0; c < 3; ++c)
            base[c][i] = int32_t(185.78f * falloff * std::pow(float(rgb[c]), exponent[c]));
    }
    for (int c = 0; c < 3; ++c)
        for (int i = kSpectralLocusCount; i < kSpectralBaseEntries; ++i) base[c][i] = 0;
}

void addSpectrumSample(const int32_t base[3][kSpectralBaseEntries], int32_t w, int64_t sum[3]) {
    // Truncation toward zero lets 375..380 nm reach entry 0 with a negative
    // fraction, so 375 to 785 nm contribute.
    const int32_t q = (w - 3800) / 50;
    const int32_t u = (w - 3800) % 50;
    if (q < 0 || q > kLastWavelengthEntry) return;
    const int32_t next = std::min(q + 1, kLastWavelengthEntry);
    for (int c = 0; c < 3; ++c) sum[c] += (base[c][q] * (50 - u) + base[c][next] * u) / 50;
}

void buildSpectralTable(const ParameterBlock& block, SunTables& tables, int mode) {
    if (mode == kSpectralBuildSpike) buildSpikeRamp(block, tables);
    if (mode == kSpectralBuildBow) buildBowBase(block, tables);
}

int64_t smearWeightTotal(int64_t half, int64_t centre, int64_t first, int64_t last) {
    if (half <= 0 || last < first) return 0;
    return weightsUpTo(half, last - centre) - weightsUpTo(half, first - 1 - centre);
}

void buildBowTable(const ParameterBlock& block, SunTables& tables) {
    uint16_t source[3][kSpectralBaseEntries];
    for (int c = 0; c < 3; ++c) {
        std::memset(tables.bowSpectrum[c], 0, sizeof tables.bowSpectrum[c]);
        for (int k = 0; k < kSpectralBaseEntries; ++k) {
            source[c][k] = uint16_t(uint32_t(tables.spectralBase[c][k]));
            tables.bowSpectrum[c][k] = source[c][k];
        }
    }
    if (block.bowSmear == 0) return;

    // The window of step i covers source entries i - W .. i with weights
    // peaking at its centre; the total counts every weight, also those of
    // entries outside the table, so the bow fades where the window runs off.
    // The total is taken in closed form, so a huge bowSmear costs no more
    // than a small one.
    const int64_t window = int64_t(108) * block.bowSmear / 100;
    const int64_t half = window / 2;
    // Step i is stored one entry further out, at i + 1. Entry 0, the bow's
    // innermost ring, keeps its unsmeared value, and step 200 would land past
    // the last of the 201 entries, so it is not computed. The images that
    // stored settings produce were made with this layout, so it stays.
    for (int64_t i = 0; i + 1 < kBowSpectrumEntries; ++i) {
        const int64_t first = i - window;
        const int64_t centre = (2 * i - window) / 2;
        int64_t total = smearWeightTotal(half, centre, first, i);
        if (total == 0) total = 1;
        for (int c = 0; c < 3; ++c) {
            int64_t sum = 0;
            for (int64_t j = std::max<int64_t>(first, 0);
                 j <= std::min<int64_t>(i, kSpectralBaseEntries - 1); ++j) {
                const int64_t d = centre > j ? centre - j : j - centre;
                const int64_t weight = half - d > 0 ? half - d : 0;
                sum += weight * source[c][j];
            }
            tables.bowSpectrum[c][i + 1] = uint16_t(sum / total);
        }
    }
}

}  // namespace lumenfall
