#include "render/effect_ahead.h"

#include <algorithm>
#include <new>

namespace lumenfall {
namespace {

// Chunk `chunk` (kChunkColumns columns) of an EffectRowWork.
void computeEffectChunk(void* context, int32_t chunk) {
    const EffectRowWork& work = *static_cast<const EffectRowWork*>(context);
    const int32_t first = work.firstColumn + chunk * kChunkColumns;
    const int32_t count = std::min(kChunkColumns, work.endColumn - first);
    renderSunSpanCulled(work.sun, work.strips, work.row, first, count, work.out + (first - work.firstColumn));
}

}  // namespace

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
    // Buffers in use by a started row are never replaced: a wider row drops
    // it first (drop() in of()).
    if (going_) return false;
    for (auto& row : rows_) {
        row.reset(new (std::nothrow) SunPixel[size_t(span)]);
        if (!row) {
            rows_[0].reset();
            rows_[1].reset();
            capacity_ = 0;
            return false;
        }
    }
    capacity_ = span;
    return true;
}

bool EffectAhead::holds(const RenderPlan* plan, const TargetShape& shape, int32_t row, int32_t firstColumn,
                        int32_t endColumn) const {
    return going_ && plan == plan_ && row == work_.row && firstColumn == work_.firstColumn &&
           endColumn == work_.endColumn && shape.width == shape_.width && shape.height == shape_.height &&
           shape.depth == shape_.depth && shape.planes == shape_.planes &&
           shape.editableTransparency == shape_.editableTransparency && shape.enlargement == shape_.enlargement;
}

const SunPixel* EffectAhead::take(RowWorkers& workers) {
    workers.finish();
    going_ = false;
    return work_.out;
}

void EffectAhead::start(RowWorkers& workers, const RenderPlan* plan, const TargetShape& shape,
                        const SunContext& sun, int32_t row, int32_t firstColumn, int32_t endColumn) {
    drop(workers);
    const int32_t span = endColumn - firstColumn;
    if (span <= 0 || span > capacity_) return;
    plan_ = plan;
    shape_ = shape;
    work_.sun = sun;
    work_.row = row;
    work_.firstColumn = firstColumn;
    work_.endColumn = endColumn;
    work_.out = rows_[next_].get();
    next_ ^= 1;
    findSpikeStrips(work_.sun, row, firstColumn, span, &work_.strips);
    workers.start((span + kChunkColumns - 1) / kChunkColumns, computeEffectChunk, &work_);
    going_ = workers.started();
}

void EffectAhead::drop(RowWorkers& workers) {
    if (going_) workers.finish();
    going_ = false;
}

}  // namespace lumenfall
