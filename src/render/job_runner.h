// The job runner: a row, or a rectangle of a pyramid level, is split into
// jobs and each job is dispatched on its code. The job count is one, so
// every list holds a single job that runs in place on the calling thread;
// the split is kept general so that parallel jobs can come without changing
// what a job covers.
#ifndef LUMENFALL_RENDER_JOB_RUNNER_H
#define LUMENFALL_RENDER_JOB_RUNNER_H

#include <cstdint>

namespace lumenfall {

constexpr int32_t kJobCount = 1;           // jobs per list
constexpr int32_t kJobListCapacity = 16;   // room for a larger count in tests and later work
constexpr int32_t kJobRenderRow = 1;
constexpr int32_t kJobBuildLevel = -1000;

struct JobRect {
    int32_t top;
    int32_t left;
    int32_t bottom;
    int32_t right;
};

struct RenderJob {
    int32_t jobCount;
    int32_t jobIndex;
    int32_t first;          // this job's share
    int32_t last;
    int32_t rangeFirst;     // the whole range
    int32_t rangeLast;
    int32_t code;
    int32_t state;          // -1 once the job started
    JobRect rect;           // rectangle jobs
    int32_t row;            // row jobs: the image row; level jobs: the source level
};

struct JobList {
    int32_t count;
    RenderJob jobs[kJobListCapacity];
};

// The work of one job; `context` is what the caller passed to runJobs.
using JobFunction = void (*)(void* context, const RenderJob& job);

// Range jobs over first..last (columns of a row); `jobCount` is clamped to
// 1..kJobListCapacity. No job when the range is empty.
void buildRangeJobs(JobList& list, int32_t first, int32_t last, int32_t code, int32_t jobCount);

// Rectangle jobs: strips across the longer side of `rect`.
void buildRectJobs(JobList& list, const JobRect& rect, int32_t code, int32_t jobCount);

// Runs every job of the list through `work` (code 1: columns of a row,
// code -1000: a rectangle of a pyramid level), marking each started.
void runJobs(JobList& list, JobFunction work, void* context);

}  // namespace lumenfall

#endif
