// The spectral colour tables: SpikeRamp (the colour of a spike along its
// length, summing the diffraction orders of a grating) and BowSpectrum (the
// rainbow bow from its inner to its outer edge). Both start from one base
// table: the spectrum colours converted to RGB.
#ifndef LUMENFALL_KERNELS_SPECTRAL_TABLES_H
#define LUMENFALL_KERNELS_SPECTRAL_TABLES_H

#include <cstdint>

#include "params/parameter_block.h"
#include "kernels/sun_tables.h"

namespace lumenfall {

constexpr int kSpectralBuildSpike = 3;   // builds SpikeRamp
constexpr int kSpectralBuildBow = 4;     // builds the bow's widened base table
constexpr int kSpectralBaseEntries = 93;
constexpr int kSpikeRampEntries = 600;
constexpr int kBowSpectrumEntries = 201;

// Linear RGB of a chromaticity through the inverse of the EBU primaries'
// matrix, without white balance; negative results become 0.
void chromaticityToRgb(double x, double y, double z, double rgb[3]);

// Fills entries 0..80 of the base table for `mode` (3 or 4) and clears 81..92.
void buildSpectralBase(int mode, int32_t base[3][kSpectralBaseEntries]);

// Adds the spectrum sample at w tenths of a nanometre to `sum`.
void addSpectrumSample(const int32_t base[3][kSpectralBaseEntries], int32_t w, int64_t sum[3]);

// Mode 3 builds SpikeRamp (the base table is left faded in tables.spectralBase);
// mode 4 leaves the bow's blurred, tinted and possibly flipped 93 entries in
// tables.spectralBase. Other modes do nothing.
void buildSpectralTable(const ParameterBlock& block, SunTables& tables, int mode);

// Copies the bow's 93 entries into BowSpectrum and smears them.
void buildBowTable(const ParameterBlock& block, SunTables& tables);

// Sum of the smear weights max(half - |centre - j|, 0) over j = first..last.
int64_t smearWeightTotal(int64_t half, int64_t centre, int64_t first, int64_t last);

}  // namespace lumenfall

#endif
