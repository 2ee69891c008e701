#include "render/row_workers.h"

#include <cstdlib>
#include <exception>

namespace lumenfall {

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
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& helper : helpers_) helper.join();
}

void RowWorkers::takeChunks() {
    for (int32_t chunk = next_.fetch_add(1); chunk < chunks_; chunk = next_.fetch_add(1)) work_(context_, chunk);
}

void RowWorkers::helperLoop() {
    uint64_t seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
            if (stopping_) return;
            seen = generation_;
        }
        takeChunks();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            --busy_;
        }
        done_.notify_one();
    }
}

void RowWorkers::run(int32_t chunks, Work work, void* context) {
    if (chunks <= 0) return;
    if (helpers_.empty() || chunks == 1) {
        for (int32_t chunk = 0; chunk < chunks; ++chunk) work(context, chunk);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        work_ = work;
        context_ = context;
        chunks_ = chunks;
        next_.store(0);
        busy_ = int32_t(helpers_.size());
        ++generation_;
    }
    wake_.notify_all();
    takeChunks();
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return busy_ == 0; });
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
