// The handle and buffer suites: counted, able to fail on demand, and in the
// shapes other hosts give them.
#include <algorithm>
#include <cstdlib>
#include <new>
#include <string>

#include "platform/global_memory.h"
#include "plugin_host_internal.h"

namespace lumenfall {
namespace {

// Host handles: a master pointer followed by the block's bookkeeping.
struct HostHandle {
    char* data;
    int32_t size;
    int32_t locks;
};

// Host buffers.
struct HostBufferRecord {
    char* data;
    int32_t size;
};

// At most this much freed buffer memory is kept for reuse: what a run of
// the plug-in over a large picture takes, its capped surface memo included.
constexpr size_t kSpareBufferBytes = size_t(64) * 1024 * 1024;

}  // namespace

using namespace plugin_host_detail;

pi::Handle PluginHost::Callbacks::newHandle(int32_t size) {
    PluginHost* h = g_current;
    if (!h || size < 0) return nullptr;
    ++h->handleAllocations_;
    if (h->options_.failHandleAllocation > 0 && h->handleAllocations_ == h->options_.failHandleAllocation) {
        h->logLine("newHandle " + std::to_string(size) + " fails");
        return nullptr;
    }
    auto* handle = static_cast<HostHandle*>(std::calloc(1, sizeof(HostHandle)));
    if (!handle) return nullptr;
    handle->data = static_cast<char*>(std::calloc(1, size_t(size > 0 ? size : 1)));
    if (!handle->data) {
        std::free(handle);
        return nullptr;
    }
    handle->size = size;
    h->counters_.handleBytesAllocated += size;
    ++h->counters_.handlesOutstanding;
    h->logLine("newHandle " + std::to_string(size));
    return &handle->data;
}

// Handles the host makes for itself (descriptors): counted, never failed on demand.
pi::Handle PluginHost::Callbacks::hostNewHandle(int32_t size) {
    PluginHost* h = g_current;
    const int32_t failAt = h ? h->options_.failHandleAllocation : 0;
    if (h) h->options_.failHandleAllocation = 0;
    pi::Handle handle = newHandle(size);
    if (h) {
        --h->handleAllocations_;
        h->options_.failHandleAllocation = failAt;
    }
    return handle;
}

void PluginHost::Callbacks::disposeHandle(pi::Handle hd) {
    if (!hd) return;
    auto* handle = reinterpret_cast<HostHandle*>(hd);
    if (PluginHost* h = g_current) {
        h->counters_.handleBytesFreed += handle->size;
        --h->counters_.handlesOutstanding;
        h->counters_.handlesLocked -= handle->locks;
        h->logLine("disposeHandle " + std::to_string(handle->size));
    }
    std::free(handle->data);
    std::free(handle);
}

int32_t PluginHost::Callbacks::handleSize(pi::Handle hd) { return hd ? reinterpret_cast<HostHandle*>(hd)->size : 0; }

pi::OSErr PluginHost::Callbacks::setHandleSize(pi::Handle, int32_t) { return pi::kMemFullErr; }

// A suite that cannot tell the size of its own handles and ignores resizing.
int32_t PluginHost::Callbacks::quirkyHandleSize(pi::Handle) { return 0; }

pi::OSErr PluginHost::Callbacks::quirkySetHandleSize(pi::Handle, int32_t) { return 0; }

pi::Ptr PluginHost::Callbacks::lockHandle(pi::Handle hd, pi::Boolean) {
    if (!hd) return nullptr;
    auto* handle = reinterpret_cast<HostHandle*>(hd);
    ++handle->locks;
    if (g_current) ++g_current->counters_.handlesLocked;
    return handle->data;
}

void PluginHost::Callbacks::unlockHandle(pi::Handle hd) {
    if (!hd) return;
    auto* handle = reinterpret_cast<HostHandle*>(hd);
    if (handle->locks > 0) {
        --handle->locks;
        if (g_current) --g_current->counters_.handlesLocked;
    }
}

void PluginHost::Callbacks::recoverSpace(int32_t) {}

pi::OSErr PluginHost::Callbacks::allocateBuffer(int32_t size, pi::BufferID* id) {
    PluginHost* h = g_current;
    *id = nullptr;
    if (!h || size < 0) return pi::kMemFullErr;
    ++h->bufferAllocations_;
    if (h->options_.failBufferAllocation > 0 && h->bufferAllocations_ == h->options_.failBufferAllocation) {
        h->logLine("allocateBuffer " + std::to_string(size) + " fails");
        return pi::kMemFullErr;
    }
    // A spare buffer of the size asked for comes back as the plug-in left it
    // (no host promises zeroed buffers), its pages already in memory.
    for (size_t i = 0; i < h->spareBuffers_.size(); ++i) {
        auto* spare = static_cast<HostBufferRecord*>(h->spareBuffers_[i]);
        if (spare->size != size) continue;
        h->spareBuffers_.erase(h->spareBuffers_.begin() + ptrdiff_t(i));
        h->spareBufferBytes_ -= size_t(size);
        h->counters_.bufferBytesAllocated += size;
        ++h->counters_.buffersOutstanding;
        ++h->counters_.buffersReused;
        h->logLine("allocateBuffer " + std::to_string(size));
        *id = reinterpret_cast<pi::BufferID>(spare);
        return 0;
    }
    auto* record = static_cast<HostBufferRecord*>(std::calloc(1, sizeof(HostBufferRecord)));
    if (!record) return pi::kMemFullErr;
    record->data = static_cast<char*>(std::calloc(1, size_t(size > 0 ? size : 1)));
    if (!record->data) {
        std::free(record);
        return pi::kMemFullErr;
    }
    record->size = size;
    h->counters_.bufferBytesAllocated += size;
    ++h->counters_.buffersOutstanding;
    h->logLine("allocateBuffer " + std::to_string(size));
    *id = reinterpret_cast<pi::BufferID>(record);
    return 0;
}

pi::Ptr PluginHost::Callbacks::lockBuffer(pi::BufferID id, pi::Boolean) {
    return id ? reinterpret_cast<HostBufferRecord*>(id)->data : nullptr;
}

void PluginHost::Callbacks::unlockBuffer(pi::BufferID) {}

void PluginHost::Callbacks::freeBuffer(pi::BufferID id) {
    if (!id) return;
    auto* record = reinterpret_cast<HostBufferRecord*>(id);
    if (PluginHost* h = g_current) {
        h->counters_.bufferBytesFreed += record->size;
        --h->counters_.buffersOutstanding;
        h->logLine("freeBuffer " + std::to_string(record->size));
        if (h->spareBufferBytes_ + size_t(record->size) <= kSpareBufferBytes) {
            try {
                h->spareBuffers_.push_back(record);
                h->spareBufferBytes_ += size_t(record->size);
                return;
            } catch (const std::bad_alloc&) {
                // Not kept: freed below.
            }
        }
    }
    std::free(record->data);
    std::free(record);
}

void PluginHost::releaseSpareBuffers(std::vector<void*> which) {
    for (void* spare : which) {
        const auto kept = std::find(spareBuffers_.begin(), spareBuffers_.end(), spare);
        if (kept == spareBuffers_.end()) continue;
        spareBuffers_.erase(kept);
        auto* record = static_cast<HostBufferRecord*>(spare);
        spareBufferBytes_ -= size_t(record->size);
        std::free(record->data);
        std::free(record);
    }
}

int32_t PluginHost::Callbacks::bufferSpace() { return 256 * 1024 * 1024; }

namespace plugin_host_detail {

pi::HandleProcs g_handleProcs;
pi::BufferProcs g_bufferProcs;

void fillSuites(HandleSuiteKind kind, bool quirky) {
    using C = PluginHost::Callbacks;
    g_handleProcs = pi::HandleProcs{};
    g_handleProcs.handleProcsVersion = 1;
    g_handleProcs.numHandleProcs = 8;
    g_handleProcs.newProc = C::newHandle;
    g_handleProcs.disposeProc = C::disposeHandle;
    g_handleProcs.getSizeProc = quirky ? C::quirkyHandleSize : C::handleSize;
    g_handleProcs.setSizeProc = quirky ? C::quirkySetHandleSize : C::setHandleSize;
    g_handleProcs.lockProc = C::lockHandle;
    g_handleProcs.unlockProc = C::unlockHandle;
    g_handleProcs.recoverSpaceProc = C::recoverSpace;
    g_handleProcs.disposeRegularHandleProc = C::disposeHandle;
    if (kind == HandleSuiteKind::Version0) g_handleProcs.handleProcsVersion = 0;
    if (kind == HandleSuiteKind::SevenProcs) g_handleProcs.numHandleProcs = 7;
    if (kind == HandleSuiteKind::NoLock) g_handleProcs.lockProc = nullptr;

    g_bufferProcs = pi::BufferProcs{};
    g_bufferProcs.bufferProcsVersion = 2;
    g_bufferProcs.numBufferProcs = 5;
    g_bufferProcs.allocateProc = C::allocateBuffer;
    g_bufferProcs.lockProc = C::lockBuffer;
    g_bufferProcs.unlockProc = C::unlockBuffer;
    g_bufferProcs.freeProc = C::freeBuffer;
    g_bufferProcs.spaceProc = C::bufferSpace;
}

// Descriptor handles must be freeable by whichever memory the plug-in uses.
DescriptorMemory descriptorMemory(HandleSuiteKind kind) {
    using C = PluginHost::Callbacks;
    if (kind == HandleSuiteKind::Full)
        return DescriptorMemory{C::hostNewHandle, [](pi::Handle h) { return C::lockHandle(h, 0); }, C::unlockHandle,
                                C::disposeHandle, C::handleSize};
    return DescriptorMemory{globalNew, globalLock, globalUnlock, globalDispose, globalSize};
}

}  // namespace plugin_host_detail
}  // namespace lumenfall
