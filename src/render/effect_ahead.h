// The next row's effect, computed by the helper threads while the calling
// thread blends the current row and trades rows with the host. The effect
// needs no pixel of the picture, so it can run ahead of the row's delivery;
// only the blend must wait for it. The pixels are those of the row computed
// in its turn.
#ifndef LUMENFALL_RENDER_EFFECT_AHEAD_H
#define LUMENFALL_RENDER_EFFECT_AHEAD_H

#include <cstdint>
#include <memory>

#include "kernels/sun_span.h"
#include "render/render_plan.h"
#include "render/row_target.h"
#include "render/row_workers.h"

namespace lumenfall {

// Columns a thread takes at a time: small enough to share a row evenly,
// large enough that taking one costs nothing.
constexpr int32_t kChunkColumns = 256;

// One row's effect over columns firstColumn .. endColumn - 1, written to out.
struct EffectRowWork {
    SunContext sun;
    RowSpikeStrips strips;
    int32_t row = 0;
    int32_t firstColumn = 0;
    int32_t endColumn = 0;
    SunPixel* out = nullptr;
};

class EffectAhead : public RowWorkers::Kept {
public:
    // The row ahead of the workers, made on first use; null when they have no
    // helper to compute it or no memory for two rows of `span` pixels (the
    // rows are then computed in their turn).
    static EffectAhead* of(RowWorkers* workers, int32_t span);

    // Whether the row computed ahead is this one, for this plan, target shape
    // and columns. Only a row started and not yet taken counts.
    bool holds(const RenderPlan* plan, const TargetShape& shape, int32_t row, int32_t firstColumn,
               int32_t endColumn) const;

    // Waits for the row this holds and hands out its effect (valid until the
    // next start); the row counts as taken.
    const SunPixel* take(RowWorkers& workers);

    // Starts the helpers on `row`'s effect into the other of the two rows,
    // so that the effect last taken stays valid.
    void start(RowWorkers& workers, const RenderPlan* plan, const TargetShape& shape, const SunContext& sun,
               int32_t row, int32_t firstColumn, int32_t endColumn);

    // Waits for a started row and forgets it.
    void drop(RowWorkers& workers);

private:
    bool reserve(int32_t span);

    std::unique_ptr<SunPixel[]> rows_[2];
    int32_t capacity_ = 0;
    int32_t next_ = 0;  // the row buffer the next start fills
    bool going_ = false;
    const RenderPlan* plan_ = nullptr;
    TargetShape shape_{};
    EffectRowWork work_;
};

}  // namespace lumenfall

#endif
