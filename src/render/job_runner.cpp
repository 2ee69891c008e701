#include "render/job_runner.h"

#include <algorithm>
#include <cmath>
#include <cstring>


namespace lumenfall {
namespace {

// floor(i * n / count) in single precision: a step of -1 before truncation
// for negative values makes the truncation a floor.
int32_t splitPoint(int32_t i, int32_t n, int32_t count) {
    const float v = float(i) * float(n) / float(count);
    return v < 0 ? int32_t(v - 1.0f) : int32_t(v);
}

int32_t clampCount(int32_t length, int32_t jobCount) {
    const int32_t wanted = std::clamp(jobCount, 1, kJobListCapacity);
    return std::min(length, wanted);
}

}  // namespace

void buildRangeJobs(JobList& list, int32_t first, int32_t last, int32_t code, int32_t jobCount) {
    list.count = 0;
    const int64_t n64 = int64_t(last) - first + 1;
    if (n64 < 1) return;
    const int32_t n = int32_t(std::min<int64_t>(n64, INT32_MAX));
    const int32_t count = clampCount(n, jobCount);
    for (int32_t i = 0; i < count; ++i) {
        RenderJob& job = list.jobs[i];
        std::memset(&job, 0, sizeof job);
        job.jobCount = count;
        job.jobIndex = i;
        job.first = splitPoint(i, n, count) + first;
        job.last = splitPoint(i + 1, n, count) + first - 1;
        job.rangeFirst = first;
        job.rangeLast = last;
        job.code = code;
    }
    list.count = count;
}

void buildRectJobs(JobList& list, const JobRect& rect, int32_t code, int32_t jobCount) {
    list.count = 0;
    const int32_t width = rect.right - rect.left;
    const int32_t height = rect.bottom - rect.top;
    const bool alongHeight = height > width;
    const int32_t length = alongHeight ? height : width;
    if (length < 1 || std::min(width, height) < 1) return;
    const int32_t count = clampCount(length, jobCount);
    const int32_t start = alongHeight ? rect.top : rect.left;
    for (int32_t i = 0; i < count; ++i) {
        RenderJob& job = list.jobs[i];
        std::memset(&job, 0, sizeof job);
        job.jobCount = count;
        job.jobIndex = i;
        job.first = splitPoint(i, length, count) + start;
        job.last = splitPoint(i + 1, length, count) + start - 1;
        job.rangeFirst = start;
        job.rangeLast = start + length - 1;
        job.code = code;
        job.rect = rect;
        if (alongHeight) {
            job.rect.top = job.first;
            job.rect.bottom = job.last + 1;
        } else {
            job.rect.left = job.first;
            job.rect.right = job.last + 1;
        }
    }
    list.count = count;
}

void runJobs(JobList& list, JobFunction work, void* context) {
    for (int32_t i = 0; i < list.count; ++i) {
        RenderJob& job = list.jobs[i];
        job.state = -1;
        if (work) work(context, job);
    }
}

}  // namespace lumenfall
