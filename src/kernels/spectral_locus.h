// The spectral locus: chromaticity (x, y) of monochromatic light for the
// standard 2-degree observer, 380 nm to 780 nm in steps of 5 nm.
#ifndef LUMENFALL_KERNELS_SPECTRAL_LOCUS_H
#define LUMENFALL_KERNELS_SPECTRAL_LOCUS_H

namespace lumenfall {

constexpr int kSpectralLocusCount = 81;     // entry i is 380 + 5 i nm
constexpr int kSpectralFirstNanometre = 380;
constexpr int kSpectralStepNanometres = 5;

struct Chromaticity {
    double x;
    double y;
};

// The 81 chromaticity pairs, to four decimals.
const Chromaticity* spectralLocus();

}  // namespace lumenfall

#endif
