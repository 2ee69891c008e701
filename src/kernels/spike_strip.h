// A spike's strip added to a span's spike sums, eight columns at a time
// where the CPU runs AVX2: the same whole numbers as addSpikeStrip
// (kernels/sun_span.h), column by column.
#ifndef LUMENFALL_KERNELS_SPIKE_STRIP_H
#define LUMENFALL_KERNELS_SPIKE_STRIP_H

#include <cstdint>

#include "kernels/sun_span.h"

namespace lumenfall {

void addSpikeStripFast(const SunTables& tables, int32_t k, int64_t dx, int64_t dy, int64_t count, int64_t* sums);

}  // namespace lumenfall

#endif
