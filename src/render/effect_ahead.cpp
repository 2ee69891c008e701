#include "render/effect_ahead.h"

#include <algorithm>
#include <new>
#include <thread>

namespace lumenfall {
namespace {

// A run's chunk numbers stay well inside 32 bits: a run that would pass
// this many is ended and a new one started.
constexpr int32_t kChunksPerRun = int32_t(1) << 30;

}  // namespace

bool EffectAhead::takeChunk(Slot& slot, bool fromBack, int32_t* chunk) {
    uint64_t untaken = slot.untaken.load(std::memory_order_acquire);
    for (;;) {
        const uint32_t front = uint32_t(untaken), back = uint32_t(untaken >> 32);
        if (front >= back) return false;
        const uint64_t left = fromBack ? (uint64_t(back - 1) << 32) | front : (uint64_t(back) << 32) | (front + 1);
        if (slot.untaken.compare_exchange_weak(untaken, left, std::memory_order_acq_rel, std::memory_order_acquire)) {
            *chunk = int32_t(fromBack ? back - 1 : front);
            return true;
        }
    }
}

// Chunk `chunk` of the slot's row: kChunkColumns columns of it.
void EffectAhead::computeColumns(Slot& slot, int32_t chunk) {
    const int32_t first = firstColumn_ + chunk * kChunkColumns;
    const int32_t count = std::min(kChunkColumns, endColumn_ - first);
    renderSunSpanCulled(slot.sun, slot.strips, slot.row, first, count, slot.out.get() + (first - firstColumn_));
    slot.done.fetch_add(1, std::memory_order_release);
}

// A helper's turn: each row posts one turn a chunk, and a turn computes the
// front chunk of its row that no thread has taken, if any is left (the
// host's thread may have taken the rest from the back). A turn that comes
// after its row was taken finds the slot holding a later row: it takes
// that row's front chunk, and one of that row's own turns finds none.
void EffectAhead::computeChunk(void* context, int32_t turn) {
    EffectAhead& ahead = *static_cast<EffectAhead*>(context);
    Slot& slot = ahead.slotOf(turn / ahead.chunksPerRow_);
    int32_t chunk = 0;
    if (takeChunk(slot, false, &chunk)) ahead.computeColumns(slot, chunk);
}

// The host's thread: the back chunk of the first row going that has one.
bool EffectAhead::computeFromBack() {
    for (int32_t k = queued_ - going_; k < queued_; ++k) {
        Slot& slot = slotOf(k);
        int32_t chunk = 0;
        if (takeChunk(slot, true, &chunk)) {
            computeColumns(slot, chunk);
            return true;
        }
    }
    return false;
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

const SunPixel* EffectAhead::take() {
    Slot& slot = slotOf(queued_ - going_);
    // The last chunks of this row may be on another thread: take chunks of
    // it and of the rows after it meanwhile rather than wait idle.
    for (int32_t spins = 0; slot.done.load(std::memory_order_acquire) < chunksPerRow_;) {
        if (computeFromBack()) continue;
        if (++spins < 4096) {
            spinPause();
        } else {
            std::this_thread::yield();  // the other thread may have lost its core
        }
    }
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
    // Last: a turn of an earlier row may find this slot, and takes a chunk
    // only once the row is all there.
    slot.untaken.store(uint64_t(chunks) << 32, std::memory_order_release);
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
