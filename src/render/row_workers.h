// Threads that share the columns of a row: the calling thread and up to
// `threads` - 1 helpers take chunks of the row in turn until none is left.
// The helpers live as long as the object: the host side makes one for a
// selector's rows and it joins them before the selector returns. A helper
// that cannot be started leaves fewer threads, never an error: the rows
// come out the same with any number of threads.
#ifndef LUMENFALL_RENDER_ROW_WORKERS_H
#define LUMENFALL_RENDER_ROW_WORKERS_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace lumenfall {

class RowWorkers {
public:
    using Work = void (*)(void* context, int32_t chunk);

    explicit RowWorkers(int32_t threads);
    ~RowWorkers();
    RowWorkers(const RowWorkers&) = delete;
    RowWorkers& operator=(const RowWorkers&) = delete;

    // Threads taking part, the calling one included.
    int32_t threads() const { return int32_t(helpers_.size()) + 1; }

    // Runs work(context, c) for every chunk c in 0..chunks-1 and returns
    // when all have run.
    void run(int32_t chunks, Work work, void* context);

private:
    void helperLoop();
    void takeChunks();

    std::vector<std::thread> helpers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    // Read outside the mutex while a thread spins; changed under it so that
    // a thread asleep on a condition cannot miss the change.
    std::atomic<uint64_t> generation_{0};
    std::atomic<int32_t> busy_{0};
    std::atomic<bool> stopping_{false};
    Work work_ = nullptr;
    void* context_ = nullptr;
    int32_t chunks_ = 0;
    std::atomic<int32_t> next_{0};
};

// Threads for a render: LUMENFALL_THREADS when it holds a number 1..64,
// else the machine's cores (at least 1).
int32_t renderThreadCount();

}  // namespace lumenfall

#endif
