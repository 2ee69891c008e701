// The threads that share a row's columns: run() returns only once every
// chunk has finished (not merely been taken), each chunk runs exactly once,
// a pool stays sound over many runs of any size, a run left going ends
// before anything that could outlive its work, and an open run takes its
// chunks as they are posted.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "render/row_workers.h"

namespace lumenfall {
namespace {

struct SlowChunks {
    std::vector<std::atomic<int32_t>> runs;
    std::vector<std::atomic<bool>> finished;
    explicit SlowChunks(size_t n) : runs(n), finished(n) {}
};

// Sleeps before it marks its chunk finished, so that a run() that returns
// when the last chunk is taken (rather than done) sees unfinished chunks.
void slowChunk(void* context, int32_t chunk) {
    auto& chunks = *static_cast<SlowChunks*>(context);
    chunks.runs[size_t(chunk)].fetch_add(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(chunk % 3 == 0 ? 20 : 2));
    chunks.finished[size_t(chunk)].store(true);
}

TEST(RowWorkers, RunReturnsOnlyWhenEveryChunkHasFinished) {
    for (int32_t threads : {1, 2, 4}) {
        RowWorkers workers(threads);
        EXPECT_EQ(workers.threads(), threads);
        for (int32_t chunks : {1, 2, 3, 7, 16}) {
            SlowChunks record{size_t(chunks)};
            workers.run(chunks, slowChunk, &record);
            for (int32_t c = 0; c < chunks; ++c) {
                EXPECT_TRUE(record.finished[size_t(c)].load()) << threads << " threads, chunk " << c << " of " << chunks;
                EXPECT_EQ(record.runs[size_t(c)].load(), 1) << threads << " threads, chunk " << c << " of " << chunks;
            }
        }
    }
}

void countChunk(void* context, int32_t chunk) {
    auto& hits = *static_cast<std::vector<std::atomic<int32_t>>*>(context);
    hits[size_t(chunk)].fetch_add(1);
}

TEST(RowWorkers, ManyRunsOfEverySizeEachChunkOnce) {
    // More workers than chunks, no chunks at all, and runs back to back:
    // a helper late for one run must neither miss nor repeat the next.
    RowWorkers workers(8);
    for (int32_t round = 0; round < 300; ++round) {
        const int32_t chunks = round % 11;
        std::vector<std::atomic<int32_t>> hits(size_t(chunks) + 1);
        workers.run(chunks, countChunk, &hits);
        for (int32_t c = 0; c < chunks; ++c) ASSERT_EQ(hits[size_t(c)].load(), 1) << "round " << round;
        ASSERT_EQ(hits[size_t(chunks)].load(), 0);
    }
}

TEST(RowWorkers, TheChunksOfARunShareTheThreads) {
    // With two threads and chunks that wait for each other, the run can only
    // end if a second thread really takes a chunk while the first waits.
    RowWorkers workers(2);
    if (workers.threads() < 2) GTEST_SKIP() << "no second thread could be made";
    struct Meeting {
        std::atomic<int32_t> arrived{0};
        std::atomic<bool> met{false};
    } meeting;
    workers.run(
        2,
        [](void* context, int32_t) {
            auto& m = *static_cast<Meeting*>(context);
            m.arrived.fetch_add(1);
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (m.arrived.load() < 2 && std::chrono::steady_clock::now() < until) std::this_thread::yield();
            if (m.arrived.load() == 2) m.met.store(true);
        },
        &meeting);
    EXPECT_TRUE(meeting.met.load());
}

TEST(RowWorkers, AStartedRunGoesOnWithoutTheCallerAndEndsBeforeAnythingElse) {
    {
        // Without helpers nothing starts: the caller does the work itself.
        RowWorkers alone(1);
        std::vector<std::atomic<int32_t>> hits(4);
        alone.start(4, countChunk, &hits);
        EXPECT_FALSE(alone.started());
        alone.finish();
        for (const auto& h : hits) EXPECT_EQ(h.load(), 0);
    }
    RowWorkers workers(3);
    if (workers.threads() < 2) GTEST_SKIP() << "no second thread could be made";
    // The helpers take every chunk while the caller does not take part.
    SlowChunks record{12};
    workers.start(12, slowChunk, &record);
    ASSERT_TRUE(workers.started());
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    auto allFinished = [&] {
        for (const auto& f : record.finished)
            if (!f.load()) return false;
        return true;
    };
    while (!allFinished() && std::chrono::steady_clock::now() < until) std::this_thread::yield();
    EXPECT_TRUE(allFinished());
    workers.finish();
    EXPECT_FALSE(workers.started());
    for (const auto& r : record.runs) EXPECT_EQ(r.load(), 1);

    // A run, a new start and the destructor each end the started run first:
    // nothing of it is left running, and no chunk runs twice.
    for (int round = 0; round < 3; ++round) {
        SlowChunks first{7}, second{5};
        {
            RowWorkers pool(2);
            pool.start(7, slowChunk, &first);
            if (round == 0) pool.run(5, slowChunk, &second);
            if (round == 1) pool.start(5, slowChunk, &second);
            for (size_t c = 0; c < 7; ++c) {
                if (round == 2) break;
                EXPECT_TRUE(first.finished[c].load()) << "round " << round << " chunk " << c;
            }
        }
        for (size_t c = 0; c < 7; ++c) {
            EXPECT_TRUE(first.finished[c].load()) << "round " << round << " chunk " << c;
            EXPECT_EQ(first.runs[c].load(), 1) << "round " << round << " chunk " << c;
        }
        for (size_t c = 0; c < 5 && round < 2; ++c) EXPECT_EQ(second.runs[c].load(), 1) << "round " << round;
    }
}

TEST(RowWorkers, AnOpenRunTakesEachPostAsItComesUntilFinished) {
    RowWorkers workers(2);
    if (workers.threads() < 2) GTEST_SKIP() << "no second thread could be made";
    SlowChunks record{9};
    auto allFinished = [&](size_t count) {
        for (size_t c = 0; c < count; ++c)
            if (!record.finished[c].load()) return false;
        return true;
    };
    auto waitFor = [&](size_t count) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!allFinished(count) && std::chrono::steady_clock::now() < until) std::this_thread::yield();
        return allFinished(count);
    };
    workers.startOpen(slowChunk, &record);
    ASSERT_TRUE(workers.started());
    EXPECT_FALSE(workers.takeOne()) << "nothing posted yet";
    // The helper takes the posts without the caller, the second one after it
    // has gone to sleep for want of work.
    workers.post(4);
    EXPECT_TRUE(waitFor(4));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    workers.post(3);
    EXPECT_TRUE(waitFor(7));
    for (size_t c = 7; c < 9; ++c) EXPECT_EQ(record.runs[c].load(), 0) << "chunk " << c << " before its post";
    // The caller takes part; finish ends the run and later posts go nowhere.
    workers.post(2);
    while (workers.takeOne()) {
    }
    workers.finish();
    EXPECT_FALSE(workers.started());
    workers.post(5);
    EXPECT_FALSE(workers.takeOne());
    EXPECT_TRUE(allFinished(9));
    for (size_t c = 0; c < 9; ++c) EXPECT_EQ(record.runs[c].load(), 1) << "chunk " << c;

    // Without helpers an open run never starts: the caller computes its rows
    // in their turn.
    RowWorkers alone(1);
    alone.startOpen(slowChunk, &record);
    EXPECT_FALSE(alone.started());
    alone.post(1);
    EXPECT_FALSE(alone.takeOne());
}

#ifndef _WIN32
TEST(RowWorkers, ThreadCountFromTheEnvironmentWithinBounds) {
    const char* saved = std::getenv("LUMENFALL_THREADS");
    const std::string kept = saved ? saved : "";
    setenv("LUMENFALL_THREADS", "3", 1);
    EXPECT_EQ(renderThreadCount(), 3);
    for (const char* bad : {"0", "65", "-2", "2x", ""}) {
        setenv("LUMENFALL_THREADS", bad, 1);
        const int32_t n = renderThreadCount();
        EXPECT_GE(n, 1) << bad;
        EXPECT_LE(n, 64) << bad;
    }
    setenv("LUMENFALL_THREADS", "64", 1);
    EXPECT_EQ(renderThreadCount(), 64);
    if (saved) setenv("LUMENFALL_THREADS", kept.c_str(), 1); else unsetenv("LUMENFALL_THREADS");
}
#endif

}  // namespace
}  // namespace lumenfall
