// Rendering of the band in flight: the driver's set-up before the first row
// and the work of one row.
#ifndef LUMENFALL_HOST_ROW_STEP_H
#define LUMENFALL_HOST_ROW_STEP_H

#include "host/globals.h"

namespace lumenfall {

// Builds what the rows need and resets the row counters; returns a result
// code (0 on success).
int16_t startRowRendering(PluginGlobals& g, ParameterBlock& block);

// Renders the current row of the band into the host's output buffer.
void renderCurrentRow(PluginGlobals& g, ParameterBlock& block);

}  // namespace lumenfall

#endif
