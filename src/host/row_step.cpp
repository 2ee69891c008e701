#include "host/row_step.h"

#include <algorithm>
#include <cstring>

namespace lumenfall {

int16_t startRowRendering(PluginGlobals& g, ParameterBlock&) {
    BandState& band = g.band;
    band.renderRect = g.record->filterRect;
    band.width = band.renderRect.right - band.renderRect.left;
    band.height = band.renderRect.bottom - band.renderRect.top;
    band.currentRow = 0;
    band.progressDone = 0;
    band.progressTotal = uint32_t(band.height) + 1;
    band.rendering = band.height > 0 ? 1 : 0;
    band.maskWanted = 1;
    return 0;
}

// TEMPORARY until the sun renderer is wired in: the row step copies the
// source row to the output row unchanged.
void renderCurrentRow(PluginGlobals& g, ParameterBlock&) {
    const pi::FilterRecord* record = g.record;
    if (!record->inData || !record->outData) return;
    const int32_t bytesPerSample = record->depth == 16 ? 2 : 1;
    const int32_t planes = record->inHiPlane - record->inLoPlane + 1;
    const int32_t width = record->inRect.right - record->inRect.left;
    const int32_t rowBytes = std::max(0, width * planes * bytesPerSample);
    std::memcpy(record->outData, record->inData, size_t(rowBytes));
}

}  // namespace lumenfall
