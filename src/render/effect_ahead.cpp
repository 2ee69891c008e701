#include "render/effect_ahead.h"

#include <algorithm>
#include <new>

namespace lumenfall {
namespace {

// A run's chunk numbers stay well inside 32 bits: a run that would pass
// this many is ended and a new one started.
constexpr int32_t kChunksPerRun = int32_t(1) << 30;

}  // namespace

// Chunk `chunk` of the run: its row's slot, then kChunkColumns columns of it.
void EffectAhead::computeChunk(void* context, int32_t chunk) {
    EffectAhead& ahead = *static_cast<EffectAhead*>(context);
    Slot& slot = ahead.slotOf(chunk / ahead.chunksPerRow_);
    const int32_t first = ahead.firstColumn_ + (chunk % ahead.chunksPerRow_) * kChunkColumns;
    const int32_t count = std::min(kChunkColumns, ahead.endColumn_ - first);
    renderSunSpanCulled(slot.sun, slot.strips, slot.row, first, count, slot.out.get() + (first - ahead.firstColumn_));
    slot.done.fetch_add(1, std::memory_order_release);
}

EffectAhead* EffectAhead::of(RowWorkers* workers, int32_t span) {
    if (!workers || workers->threads() < 2 || span <= 0) return nullptr;
    std::unique_ptr<RowWorkers::Kept>& kept = workers->kept();
    if (!kept) kept.reset(new (std::nothrow) EffectAhead);
    // Only this file puts anything there.
    auto* ahead = static_cast<EffectAhead*>(kept.get());
    if (!ahead) return nullptr;
    if (!ahead->reserve(span)) {
        ahead->drop(*workers);
        return nullptr;
    }
    return ahead;
}

bool EffectAhead::reserve(int32_t span) {
    if (span <= capacity_) return true;
    // Buffers in use by a run are never replaced: a wider row drops it first
    // (drop() in of()).
    if (open_) return false;
    for (Slot& slot : slots_) {
        slot.out.reset(new (std::nothrow) SunPixel[size_t(span)]);
        if (!slot.out) {
            for (Slot& other : slots_) other.out.reset();
            capacity_ = 0;
            return false;
        }
    }
    capacity_ = span;
    return true;
}

bool EffectAhead::sameRun(const RenderPlan* plan, const TargetShape& shape, int32_t firstColumn,
                          int32_t endColumn) const {
    return open_ && plan == plan_ && firstColumn == firstColumn_ && endColumn == endColumn_ &&
           shape.width == shape_.width && shape.height == shape_.height && shape.depth == shape_.depth &&
           shape.planes == shape_.planes && shape.editableTransparency == shape_.editableTransparency &&
           shape.enlargement == shape_.enlargement;
}

bool EffectAhead::holds(const RenderPlan* plan, const TargetShape& shape, int32_t row, int32_t firstColumn,
                        int32_t endColumn) const {
    return going_ > 0 && sameRun(plan, shape, firstColumn, endColumn) &&
           slotOf(queued_ - going_).row == row;
}

bool EffectAhead::hasRoomFor(const RenderPlan* plan, const TargetShape& shape, int32_t firstColumn,
                             int32_t endColumn) const {
    return going_ == 0 || (going_ < kRowsAhead && sameRun(plan, shape, firstColumn, endColumn));
}

const SunPixel* EffectAhead::take(RowWorkers& workers) {
    Slot& slot = slotOf(queued_ - going_);
    // The last chunks of this row may be on another thread: take chunks of
    // the rows after it meanwhile rather than wait idle.
    workers.takeUntil([&] { return slot.done.load(std::memory_order_acquire) >= chunksPerRow_; });
    --going_;
    return slot.out.get();
}

void EffectAhead::queue(RowWorkers& workers, const RenderPlan* plan, const TargetShape& shape,
                        const SunContext& sun, int32_t row, int32_t firstColumn, int32_t endColumn) {
    const int32_t span = endColumn - firstColumn;
    const int32_t chunks = (span + kChunkColumns - 1) / kChunkColumns;
    if (!sameRun(plan, shape, firstColumn, endColumn) || going_ >= kRowsAhead ||
        queued_ >= kChunksPerRun / std::max(chunks, 1) - 1) {
        drop(workers);
    }
    if (span <= 0 || span > capacity_) return;
    if (!open_) {
        workers.startOpen(computeChunk, this);
        if (!workers.started()) return;
        open_ = true;
        // The slots go on in turn from the last run's, so that the row last
        // taken is not written.
        firstSlot_ = (firstSlot_ + queued_) % kSlots;
        queued_ = 0;
        going_ = 0;
        plan_ = plan;
        shape_ = shape;
        firstColumn_ = firstColumn;
        endColumn_ = endColumn;
        chunksPerRow_ = chunks;
    }
    // This slot's row was taken before the row last taken, and blended.
    Slot& slot = slotOf(queued_);
    slot.sun = sun;
    slot.row = row;
    slot.done.store(0, std::memory_order_relaxed);
    findSpikeStrips(slot.sun, row, firstColumn, span, &slot.strips);
    ++queued_;
    ++going_;
    lastRow_ = row;
    workers.post(chunks);
}

void EffectAhead::drop(RowWorkers& workers) {
    if (open_) workers.finish();
    open_ = false;
    going_ = 0;
}

}  // namespace lumenfall
