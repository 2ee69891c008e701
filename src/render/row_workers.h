// Threads that share the columns of a row: the calling thread and up to
// `threads` - 1 helpers take chunks of the row in turn until none is left.
// The helpers live as long as the object: the host side makes one for a
// selector's rows and it joins them before the selector returns. A helper
// that cannot be started leaves fewer threads, never an error: the rows
// come out the same with any number of threads.
//
// A run may also be left going: start() hands its chunks to the helpers and
// returns at once, so that they work while the calling thread does
// something else (the renderer computes the next row's effect this way
// while the host delivers that row). finish() takes what is left and waits;
// the next run and the destructor finish it first.
//
// A started run may also stay open: its chunks are posted a batch at a time
// (post()), and the helpers take them as they come and wait for more, so
// that they go straight on from one row to the next while the calling
// thread is elsewhere. The calling thread takes part with takeOne().
#ifndef LUMENFALL_RENDER_ROW_WORKERS_H
#define LUMENFALL_RENDER_ROW_WORKERS_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
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

    // Starts the same run on the helpers and returns before it has run.
    // Without helpers nothing starts and started() stays false: the caller
    // does the work itself when it needs it.
    void start(int32_t chunks, Work work, void* context);
    bool started() const { return started_; }
    // Takes the started run's remaining chunks on the calling thread and
    // returns when all have run; nothing when no run is going. An open run
    // takes no more posts.
    void finish();

    // Starts an open run with no chunk yet (nothing without helpers, as
    // start()). Chunks are numbered from 0 in the order of their posting.
    void startOpen(Work work, void* context);
    // Makes the next `chunks` chunks of the open run available.
    void post(int32_t chunks);
    // Runs one posted chunk that no thread has taken on the calling thread;
    // false when there is none.
    bool takeOne();

    // What a caller keeps with the workers between its runs (the renderer's
    // row computed ahead). It lives as long as the workers, so a started run
    // that works on it always ends before it goes.
    class Kept {
    public:
        virtual ~Kept() = default;
    };
    std::unique_ptr<Kept>& kept() { return kept_; }

private:
    void helperLoop();
    void takeChunks();
    bool claim(int32_t* chunk);
    void begin(int32_t chunks, bool open, Work work, void* context);

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
    // Chunks below posted_ may be taken; next_ is the first not taken. An
    // open run may still grow, and its helpers wait for it to.
    std::atomic<int32_t> posted_{0};
    std::atomic<int32_t> next_{0};
    std::atomic<bool> open_{false};
    bool started_ = false;
    std::unique_ptr<Kept> kept_;
};

// One step of a thread polling for another's work: tells the core that
// it spins, so the other thread (or its sibling on the core) runs faster.
inline void spinPause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Threads for a render: LUMENFALL_THREADS when it holds a number 1..64,
// else the machine's cores (at least 1).
int32_t renderThreadCount();

}  // namespace lumenfall

#endif
