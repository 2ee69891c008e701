// The host's band as a render target: rows the host delivered, written in
// place (the final render) or over a checkerboard through the selection
// (the dialog's preview through the host). The host side describes the
// band after every band it receives.
#ifndef LUMENFALL_RENDER_BAND_TARGET_H
#define LUMENFALL_RENDER_BAND_TARGET_H

#include "kernels/host_band.h"
#include "render/row_target.h"

namespace lumenfall {

class BandTarget : public RowTarget {
public:
    BandTarget(const HostBand& band, BandWrite how, int32_t width, int32_t height)
        : band_(band), how_(how), width_(width), height_(height) {}

    TargetShape shape() const override {
        return TargetShape{width_, height_, band_.depth, band_.planes, band_.editableTransparency, 1};
    }
    bool receive(const GlueSetup& glue, int32_t row, int32_t first, int32_t count,
                 const SunPixel* effect) override {
        return compositeBandSpan(glue, band_, how_, row, first, count, effect);
    }

private:
    const HostBand& band_;
    BandWrite how_;
    int32_t width_;
    int32_t height_;
};

}  // namespace lumenfall

#endif
