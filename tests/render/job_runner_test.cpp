#include <gtest/gtest.h>

#include <vector>

#include "render/job_runner.h"
#include "render/tiled_image.h"

namespace lumenfall {
namespace {

std::vector<RenderJob> seen;
void record(void* context, const RenderJob& job) {
    EXPECT_EQ(context, &seen);
    seen.push_back(job);
}

TEST(JobRunner, OneJobCoversTheRange) {
    JobList list;
    buildRangeJobs(list, 0, 99, kJobRenderRow, kJobCount);
    ASSERT_EQ(list.count, 1);
    EXPECT_EQ(list.jobs[0].first, 0);
    EXPECT_EQ(list.jobs[0].last, 99);
    EXPECT_EQ(list.jobs[0].rangeLast, 99);
    EXPECT_EQ(list.jobs[0].jobCount, 1);
    buildRangeJobs(list, 5, 4, kJobRenderRow, kJobCount);
    EXPECT_EQ(list.count, 0);
}

TEST(JobRunner, SharesTileTheRange) {
    JobList list;
    buildRangeJobs(list, 0, 9, kJobRenderRow, 3);
    ASSERT_EQ(list.count, 3);
    EXPECT_EQ(list.jobs[0].last, 2);   // floor(10 / 3) - 1
    EXPECT_EQ(list.jobs[1].first, 3);
    EXPECT_EQ(list.jobs[1].last, 5);   // floor(20 / 3) - 1
    EXPECT_EQ(list.jobs[2].first, 6);
    EXPECT_EQ(list.jobs[2].last, 9);
    buildRangeJobs(list, -7, -5, kJobRenderRow, 16);  // more jobs than indices
    ASSERT_EQ(list.count, 3);
    EXPECT_EQ(list.jobs[0].first, -7);
    EXPECT_EQ(list.jobs[2].last, -5);
}

TEST(JobRunner, RectanglesSplitAlongTheLongerSide) {
    JobList list;
    buildRectJobs(list, JobRect{0, 0, 10, 4}, kJobBuildLevel, 2);  // taller than wide
    ASSERT_EQ(list.count, 2);
    EXPECT_EQ(list.jobs[0].rect.top, 0);
    EXPECT_EQ(list.jobs[0].rect.bottom, 5);
    EXPECT_EQ(list.jobs[1].rect.top, 5);
    EXPECT_EQ(list.jobs[1].rect.right, 4);
    buildRectJobs(list, JobRect{0, 0, 4, 10}, kJobBuildLevel, kJobCount);
    ASSERT_EQ(list.count, 1);
    EXPECT_EQ(list.jobs[0].rect.right, 10);
    buildRectJobs(list, JobRect{0, 0, 0, 10}, kJobBuildLevel, kJobCount);
    EXPECT_EQ(list.count, 0);
}

TEST(JobRunner, RunsEveryJobWithItsContext) {
    seen.clear();
    JobList list;
    buildRangeJobs(list, 3, 40, kJobRenderRow, kJobCount);
    list.jobs[0].row = 17;
    runJobs(list, record, &seen);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].row, 17);
    EXPECT_EQ(seen[0].first, 3);
    EXPECT_EQ(seen[0].last, 40);
    EXPECT_EQ(seen[0].state, -1);  // marked started before it ran

    // Pyramid levels are built through the same runner.
    TiledImage image;
    initTiledImage(image, nullptr, nullptr);
    ASSERT_TRUE(createTiledImage(&image, 4, 4, kStoreRgba8, 0, false));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) writePixel8(image, x, y, 0, 100, 100, 100, 100);
    rebuildPyramid(image);
    EXPECT_EQ(readWord(image, 1, 1, 1), 0x64646464u);
    freeTiledImage(&image);
}

}  // namespace
}  // namespace lumenfall
