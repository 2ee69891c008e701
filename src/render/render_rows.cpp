#include "render/render_rows.h"

#include <algorithm>

#include "kernels/sun_renderer.h"
#include "render/job_runner.h"

namespace lumenfall {
namespace {

// Effect pixels computed per pass of a job; they live on the stack.
constexpr int32_t kSpanPixels = 256;

struct RowWork {
    const SunContext* sun;
    const GlueSetup* glue;
    RowTarget* target;
    bool delivered;
};

void renderColumns(void* context, const RenderJob& job) {
    RowWork& work = *static_cast<RowWork*>(context);
    SunPixel effect[kSpanPixels];
    for (int64_t x = job.first; x <= job.last && work.delivered; x += kSpanPixels) {
        const int32_t count = int32_t(std::min<int64_t>(kSpanPixels, job.last - x + 1));
        renderSunSpan(*work.sun, job.row, int32_t(x), count, effect);
        work.delivered = work.target->receive(*work.glue, job.row, int32_t(x), count, effect);
    }
}

}  // namespace

SunContext sunContextFor(const RenderPlan& plan, const TargetShape& shape) {
    SunContext sun;
    FrameRequest request;
    request.areaWidth = plan.renderWidth;
    request.areaHeight = plan.renderHeight;
    request.depth = shape.depth;
    request.renderScale = plan.renderScale;
    request.viewOriginX = plan.viewOriginX;
    request.viewOriginY = plan.viewOriginY;
    request.enlargement = shape.enlargement;
    sun.frame = sunFrameFor(plan.settings, request);
    sun.settings = &plan.settings;
    sun.tables = &plan.tables;
    sun.sphereTable = plan.sphereTable;
    sun.sphereLastIndex = plan.sphereLastIndex;
    sun.surface = surfaceTablesFrom(plan.settings, plan.tables);
    return sun;
}

RenderStatus renderRows(const RenderPlan& plan, RowTarget& target, int32_t firstRow, int32_t endRow,
                        RenderServices* services) {
    const TargetShape shape = target.shape();
    const SunContext sun = sunContextFor(plan, shape);
    GlueSetup glue;
    glue.glue = plan.settings.glue;
    glue.proceduralWeights = plan.tables.proceduralWeights;
    glue.inverseScale = 1.0f / sun.frame.floatScale;
    // A depth the compositor cannot blend leaves the target untouched.
    const bool blendable = pixelLayoutOf(shape.depth, shape.planes, shape.editableTransparency, &glue.layout);

    for (int32_t row = firstRow; row < endRow; ++row) {
        if (services) services->rowStarting(row);
        if (blendable && row >= 0 && row < shape.height) {
            JobList jobs;
            buildRangeJobs(jobs, 0, shape.width - 1, kJobRenderRow, kJobCount);
            for (int32_t i = 0; i < jobs.count; ++i) jobs.jobs[i].row = row;
            RowWork work{&sun, &glue, &target, true};
            runJobs(jobs, renderColumns, &work);
            // A stop asked for at the same row wins over the missing buffers.
            if (!work.delivered) {
                const bool goOn = !services || services->rowFinished(row);
                return goOn ? RenderStatus::NoDestination : RenderStatus::Stopped;
            }
        }
        if (services && !services->rowFinished(row)) return RenderStatus::Stopped;
    }
    return RenderStatus::Done;
}

}  // namespace lumenfall
