#include "render/row_workers.h"

#include <chrono>
#include <cstdlib>
#include <exception>

namespace lumenfall {
namespace {

// Rows follow each other a few hundred microseconds apart, and between two
// rows the calling thread only trades the row with the host. Going to sleep
// and being woken for every row costs a helper more than that gap, so both
// sides first poll for a short while and sleep only when the gap is long.
constexpr auto kSpinTime = std::chrono::microseconds(100);

template <typename Ready>
bool spinUntil(Ready ready) {
    const auto end = std::chrono::steady_clock::now() + kSpinTime;
    for (;;) {
        for (int i = 0; i < 64; ++i) {
            if (ready()) return true;
            spinPause();
        }
        if (std::chrono::steady_clock::now() >= end) return ready();
    }
}

}  // namespace

RowWorkers::RowWorkers(int32_t threads) {
    for (int32_t i = 1; i < threads; ++i) {
        try {
            helpers_.emplace_back([this] { helperLoop(); });
        } catch (const std::exception&) {
            break;  // fewer helpers: the same rows, more slowly
        }
    }
}

RowWorkers::~RowWorkers() {
    finish();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_.store(true);
    }
    wake_.notify_all();
    for (std::thread& helper : helpers_) helper.join();
}

bool RowWorkers::claim(int32_t* chunk) {
    int32_t next = next_.load();
    // Never past the posted chunks: an open run's next post must find its
    // first chunk untaken.
    while (next < posted_.load()) {
        if (next_.compare_exchange_weak(next, next + 1)) {
            *chunk = next;
            return true;
        }
    }
    return false;
}

bool RowWorkers::takeOne() {
    int32_t chunk = 0;
    if (!started_ || !claim(&chunk)) return false;
    work_(context_, chunk);
    return true;
}

// The helpers' share of a run: every chunk they can take, and for an open
// run the posts to come until it is finished.
void RowWorkers::takeChunks() {
    for (;;) {
        int32_t chunk = 0;
        if (claim(&chunk)) {
            work_(context_, chunk);
            continue;
        }
        if (!open_.load()) return;
        const auto more = [&] { return !open_.load() || next_.load() < posted_.load(); };
        if (!spinUntil(more)) {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, more);
        }
    }
}

void RowWorkers::helperLoop() {
    uint64_t seen = 0;
    for (;;) {
        const auto woken = [&] { return stopping_.load() || generation_.load() != seen; };
        if (!spinUntil(woken)) {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, woken);
        }
        if (stopping_.load()) return;
        seen = generation_.load();
        takeChunks();
        if (busy_.fetch_sub(1) == 1) {
            // The calling thread may be asleep on the last helper.
            std::lock_guard<std::mutex> lock(mutex_);
            done_.notify_one();
        }
    }
}

void RowWorkers::run(int32_t chunks, Work work, void* context) {
    finish();
    if (chunks <= 0) return;
    if (helpers_.empty() || chunks == 1) {
        for (int32_t chunk = 0; chunk < chunks; ++chunk) work(context, chunk);
        return;
    }
    start(chunks, work, context);
    finish();
}

void RowWorkers::start(int32_t chunks, Work work, void* context) {
    finish();
    if (chunks > 0) begin(chunks, false, work, context);
}

void RowWorkers::startOpen(Work work, void* context) {
    finish();
    begin(0, true, work, context);
}

void RowWorkers::begin(int32_t chunks, bool open, Work work, void* context) {
    if (helpers_.empty()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        work_ = work;
        context_ = context;
        posted_.store(chunks);
        next_.store(0);
        open_.store(open);
        busy_.store(int32_t(helpers_.size()));
        generation_.fetch_add(1);
    }
    wake_.notify_all();
    started_ = true;
}

void RowWorkers::post(int32_t chunks) {
    if (!started_ || !open_.load() || chunks <= 0) return;
    {
        // Under the mutex so that a helper about to sleep sees the post.
        std::lock_guard<std::mutex> lock(mutex_);
        posted_.fetch_add(chunks);
    }
    wake_.notify_all();
}

void RowWorkers::finish() {
    if (!started_) return;
    if (open_.load()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            open_.store(false);
        }
        wake_.notify_all();
    }
    started_ = false;
    takeChunks();
    const auto finished = [&] { return busy_.load() == 0; };
    if (spinUntil(finished)) return;
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, finished);
}

int32_t renderThreadCount() {
    if (const char* text = std::getenv("LUMENFALL_THREADS")) {
        char* end = nullptr;
        const long n = std::strtol(text, &end, 10);
        if (end != text && *end == 0 && n >= 1 && n <= 64) return int32_t(n);
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : int32_t(cores > 64 ? 64 : cores);
}

}  // namespace lumenfall
