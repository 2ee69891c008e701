#include <gtest/gtest.h>

#include <utility>

#include <cstdio>

#include "host/image_pipeline.h"
#include "plugin_fixture.h"

using namespace lumenfall;
using namespace lumenfall::testing;

namespace {

std::vector<std::string> linesStartingWith(const PluginHost& host, const std::string& prefix) {
    std::vector<std::string> lines;
    for (const std::string& line : host.log())
        if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
    return lines;
}

std::string advanceLine(int row, int width, int maskTop, int maskBottom) {
    char text[160];
    std::snprintf(text, sizeof text, "advanceState in=(%d,0,%d,%d) out=(%d,0,%d,%d) mask=(%d,0,%d,%d)", row, row + 1,
                  width, row, row + 1, width, maskTop, maskBottom, maskBottom == maskTop ? 0 : width);
    return text;
}

}  // namespace

TEST(BandProtocol, BufferBudgetFollowsTheLargerSide) {
    EXPECT_EQ(bufferSizesFor(4000, 3000).workingRow, 14184);
    EXPECT_EQ(bufferSizesFor(4000, 3000).bufferSpace, 29480);
    // A tall image: 2 (max + 4) wins over 3 W + 2184.
    EXPECT_EQ(bufferSizesFor(10, 9000).workingRow, 18008);

    auto host = loadPlugin();
    pi::FilterRecord& record = host->record();
    record.filterRect = pi::Rect{0, 0, 3000, 4000};
    EXPECT_EQ(host->callSelector(2), 0);
    EXPECT_EQ(record.bufferSpace, 29480);
}

TEST(BandProtocol, OneRowPerBandInOrder) {
    auto host = loadPlugin();
    Image out;
    ASSERT_TRUE(host->run(patternImage(7, 5), nullptr, &out).rendered);
    const auto lines = linesStartingWith(*host, "advanceState");
    ASSERT_EQ(lines.size(), 5u);  // the first row at start, then the next one after each row
    for (int row = 0; row < 5; ++row) EXPECT_EQ(lines[row], advanceLine(row, 7, 0, 0)) << row;
    EXPECT_EQ(linesStartingWith(*host, "selector 4").size(), 1u);
    EXPECT_TRUE(rectangleEmpty(host->record().inRect));
}

TEST(BandProtocol, OneRowImageRendersOneBandAndEnds) {
    auto host = loadPlugin();
    Image out;
    ASSERT_TRUE(host->run(patternImage(9, 1), nullptr, &out).rendered);
    const auto lines = linesStartingWith(*host, "advanceState");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], advanceLine(0, 9, 0, 0));
    EXPECT_EQ(linesStartingWith(*host, "selector 4").size(), 1u);
    EXPECT_EQ(host->counters().buffersOutstanding, 0);
}

TEST(BandProtocol, MaskBandCoversTwoRowsAboveAndOneBelowClipped) {
    auto host = loadPlugin();
    Image out;
    const Image selection = constantImage(6, 8, 255);
    ASSERT_TRUE(host->run(patternImage(6, 8), &selection, &out).rendered);
    const auto lines = linesStartingWith(*host, "advanceState");
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], advanceLine(0, 6, 0, 2));
    EXPECT_EQ(lines[1], advanceLine(1, 6, 0, 3));
    EXPECT_EQ(lines[4], advanceLine(4, 6, 2, 6));
    EXPECT_EQ(lines[7], advanceLine(7, 6, 5, 8));
}

TEST(BandProtocol, ProgressAndAbortAreThrottled) {
    auto host = loadPlugin();
    Image out;
    ASSERT_TRUE(host->run(patternImage(3, 100), nullptr, &out).rendered);
    const auto& calls = host->progressCalls();
    ASSERT_EQ(calls.size(), 4u);
    const int expected[] = {0, 32, 64, 96};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(calls[i].done, expected[i]);
        EXPECT_EQ(calls[i].total, 101);
    }
    EXPECT_EQ(host->counters().abortCalls, 3);
}

TEST(BandProtocol, AbortCancelsAndReleasesEverything) {
    HostOptions options;
    options.abortAtCall = 2;
    auto host = loadPlugin(options);
    Image out;
    RunOutcome outcome = host->run(patternImage(3, 100), nullptr, &out);
    EXPECT_FALSE(outcome.rendered);
    EXPECT_EQ(outcome.result, -128);
    EXPECT_EQ(host->counters().buffersOutstanding, 0);
    EXPECT_TRUE(rectangleEmpty(host->record().inRect));
    EXPECT_TRUE(rectangleEmpty(host->record().maskRect));
}

TEST(BandProtocol, FailedRunBufferAllocationReleasesEveryBuffer) {
    // The row buffer, seven small buffers and the work block.
    for (int failing = 1; failing <= 9; ++failing) {
        HostOptions options;
        options.failBufferAllocation = failing;
        auto host = loadPlugin(options);
        Image out;
        RunOutcome outcome = host->run(patternImage(8, 4), nullptr, &out);
        EXPECT_EQ(outcome.result, 1) << failing;
        EXPECT_EQ(outcome.failedSelector, 3) << failing;
        EXPECT_EQ(host->counters().buffersOutstanding, 0) << failing;
        EXPECT_EQ(host->counters().bufferBytesAllocated, host->counters().bufferBytesFreed);
        EXPECT_TRUE(rectangleEmpty(host->record().inRect));
        EXPECT_TRUE(rectangleEmpty(host->record().outRect));
        EXPECT_TRUE(rectangleEmpty(host->record().maskRect));
    }
}

// Our host keeps the buffers a run freed for the next run's requests of
// the same sizes: the plug-in gets its old memory back with whatever it
// left there, and must render the same bytes as from fresh memory. A
// picture of another shape asks for other sizes and is never handed a
// buffer of the wrong size.
TEST(BandProtocol, ARepeatedRunReusesItsBuffersAndRendersTheSame) {
    const Image picture = patternImage(160, 120);
    const Image other = patternImage(120, 150);
    Image fresh, freshOther;
    ASSERT_TRUE(loadPlugin()->run(picture, nullptr, &fresh).rendered);
    auto otherAlone = loadPlugin();
    ASSERT_TRUE(otherAlone->run(other, nullptr, &freshOther).rendered);
    EXPECT_GT(otherAlone->spareBufferBytes(), 0u);

    auto host = loadPlugin();
    Image out;
    for (int run = 0; run < 3; ++run) {
        ASSERT_TRUE(host->run(picture, nullptr, &out).rendered) << run;
        EXPECT_TRUE(out.samples == fresh.samples) << run;
        EXPECT_EQ(host->counters().buffersOutstanding, 0) << run;
        if (run == 0) {
            EXPECT_EQ(host->counters().buffersReused, 0);
        }
    }
    EXPECT_GT(host->counters().buffersReused, 8) << "the second and third runs took the first run's buffers";
    ASSERT_TRUE(host->run(other, nullptr, &out).rendered);
    EXPECT_TRUE(out.samples == freshOther.samples);
    EXPECT_EQ(host->counters().bufferBytesAllocated, host->counters().bufferBytesFreed);
    // The first picture's spares that the other shape did not ask for are
    // gone: the host holds no more than a run of the other picture alone
    // leaves it.
    EXPECT_LE(host->spareBufferBytes(), otherAlone->spareBufferBytes());
}

TEST(BandProtocol, AdvanceStateFailureAtAnyRowFreesEverything) {
    // On the wide picture's rows through the sun the next row is being
    // computed ahead when the host fails; the run ends once it is done.
    for (const auto& [width, height] : {std::pair<int32_t, int32_t>{4, 10}, {3000, 200}}) {
        for (int failing : {1, 2, 5, 10, 100, 102}) {  // 1 is the first band requested by start
            if (failing > height) continue;
            HostOptions options;
            options.failAdvanceState = failing;
            auto host = loadPlugin(options);
            Image out;
            RunOutcome outcome = host->run(patternImage(width, height), nullptr, &out);
            EXPECT_FALSE(outcome.rendered);
            EXPECT_EQ(outcome.result, -36) << failing;
            EXPECT_EQ(host->counters().buffersOutstanding, 0) << failing;
            EXPECT_TRUE(rectangleEmpty(host->record().inRect)) << failing;
            // The next run in the same host works again.
            host->options().failAdvanceState = 0;
            EXPECT_TRUE(host->run(patternImage(width, height), nullptr, &out).rendered) << failing;
        }
    }
}

TEST(BandProtocol, NoBufferSuiteMeansPlainAllocation) {
    HostOptions options;
    options.offerBufferSuite = false;
    auto host = loadPlugin(options);
    Image out;
    EXPECT_TRUE(host->run(patternImage(8, 4), nullptr, &out).rendered);
    EXPECT_EQ(host->counters().bufferBytesAllocated, 0);
}
