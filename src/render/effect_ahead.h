// The next rows' effect, computed by the helper threads while the calling
// thread blends the current row and trades rows with the host. The effect
// needs no pixel of the picture, so it can run ahead of the row's delivery;
// only the blend must wait for it. The pixels are those of the row computed
// in its turn.
//
// Two rows are kept going ahead of the one being blended: a helper that
// ends its share of one row goes straight on to the next instead of waiting
// at every row for the last chunk of another thread.
#ifndef LUMENFALL_RENDER_EFFECT_AHEAD_H
#define LUMENFALL_RENDER_EFFECT_AHEAD_H

#include <atomic>
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

// Rows computed ahead of the one being blended.
constexpr int32_t kRowsAhead = 2;

class EffectAhead : public RowWorkers::Kept {
public:
    // The rows ahead of the workers, made on first use; null when they have
    // no helper to compute them or no memory for the rows of `span` pixels
    // (the rows are then computed in their turn).
    static EffectAhead* of(RowWorkers* workers, int32_t span);

    // Whether the first row going ahead is this one, for this plan, target
    // shape and columns. Only a row queued and not yet taken counts.
    bool holds(const RenderPlan* plan, const TargetShape& shape, int32_t row, int32_t firstColumn,
               int32_t endColumn) const;

    // Waits for the row this holds, taking its last chunks (and then those of
    // the rows after it) from the back meanwhile, and hands out its effect
    // (valid until the next queue()); the row counts as taken.
    const SunPixel* take();

    // Whether `row` may be queued now: fewer than kRowsAhead rows are going
    // and the rows going are for this plan, shape and columns.
    bool hasRoomFor(const RenderPlan* plan, const TargetShape& shape, int32_t firstColumn, int32_t endColumn) const;
    // The last row queued while rows are going (for the same plan, shape and
    // columns), else -1.
    int32_t lastQueuedRow() const { return going_ > 0 ? lastRow_ : -1; }

    // Queues `row`'s effect for the helpers, after the rows going; a call for
    // another plan, shape or columns drops those first. The effect last taken
    // stays valid.
    void queue(RowWorkers& workers, const RenderPlan* plan, const TargetShape& shape, const SunContext& sun,
               int32_t row, int32_t firstColumn, int32_t endColumn);

    // Waits for the rows going and forgets them.
    void drop(RowWorkers& workers);

private:
    // One row going ahead or last taken.
    struct Slot {
        SunContext sun;
        RowSpikeStrips strips;
        int32_t row = 0;
        std::unique_ptr<SunPixel[]> out;
        std::atomic<int32_t> done{0};
        // The row's chunks no thread has taken: [front, back), the front in
        // the low 32 bits. The helpers take from the front, the host's
        // thread from the back, so that each keeps to its own side of the
        // rows and the data a chunk reads (the surface and streak memos,
        // filled as they are read) stays in its own core's caches.
        std::atomic<uint64_t> untaken{0};
    };
    static constexpr int32_t kSlots = kRowsAhead + 1;

    static void computeChunk(void* context, int32_t turn);
    static bool takeChunk(Slot& slot, bool fromBack, int32_t* chunk);
    void computeColumns(Slot& slot, int32_t chunk);
    bool computeFromBack();
    Slot& slotOf(int32_t runRow) { return slots_[(firstSlot_ + runRow) % kSlots]; }
    const Slot& slotOf(int32_t runRow) const { return slots_[(firstSlot_ + runRow) % kSlots]; }
    bool reserve(int32_t span);
    bool sameRun(const RenderPlan* plan, const TargetShape& shape, int32_t firstColumn, int32_t endColumn) const;

    Slot slots_[kSlots];
    int32_t capacity_ = 0;
    // The run's rows: queued_ counts every row queued since it started; row k
    // of the run is in slot (firstSlot_ + k) % kSlots and its helpers' turns
    // follow those of rows 0 .. k - 1. The last going_ rows queued are not
    // taken.
    bool open_ = false;
    int32_t firstSlot_ = 0;
    int32_t queued_ = 0;
    int32_t going_ = 0;
    int32_t lastRow_ = -1;
    int32_t chunksPerRow_ = 0;
    int32_t firstColumn_ = 0;
    int32_t endColumn_ = 0;
    const RenderPlan* plan_ = nullptr;
    TargetShape shape_{};
};

}  // namespace lumenfall

#endif
