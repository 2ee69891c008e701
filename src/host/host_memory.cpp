#include "host/host_memory.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/global_memory.h"

namespace lumenfall {

bool handleSuiteUsable(const pi::FilterRecord* record) {
    const pi::HandleProcs* procs = record ? record->handleProcs : nullptr;
    return procs && procs->handleProcsVersion == 1 && procs->numHandleProcs >= 8 && procs->newProc &&
           procs->disposeProc && procs->getSizeProc && procs->lockProc && procs->unlockProc;
}

pi::Handle newHandle(const pi::FilterRecord* record, int32_t size) {
    if (size < 0) return nullptr;
    if (!handleSuiteUsable(record)) return globalNew(size);
    pi::Handle h = record->handleProcs->newProc(size);
    if (!h) return nullptr;
    // Hosts do not promise zeroed memory; records are created zero-filled.
    char* p = record->handleProcs->lockProc(h, 0);
    if (!p) {
        record->handleProcs->disposeProc(h);
        return nullptr;
    }
    std::memset(p, 0, size_t(size));
    record->handleProcs->unlockProc(h);
    return h;
}

char* lockHandle(const pi::FilterRecord* record, pi::Handle h) {
    if (!h) return nullptr;
    if (!handleSuiteUsable(record)) return globalLock(h);
    return record->handleProcs->lockProc(h, 0);
}

void unlockHandle(const pi::FilterRecord* record, pi::Handle h) {
    if (!h) return;
    if (!handleSuiteUsable(record)) return globalUnlock(h);
    record->handleProcs->unlockProc(h);
}

void disposeHandle(const pi::FilterRecord* record, pi::Handle h) {
    if (!h) return;
    if (!handleSuiteUsable(record)) return globalDispose(h);
    record->handleProcs->disposeProc(h);
}

int32_t handleSize(const pi::FilterRecord* record, pi::Handle h) {
    if (!h) return 0;
    if (!handleSuiteUsable(record)) return globalSize(h);
    return record->handleProcs->getSizeProc(h);
}

bool bufferSuiteUsable(const pi::FilterRecord* record) {
    const pi::BufferProcs* procs = record ? record->bufferProcs : nullptr;
    return procs && procs->numBufferProcs >= 4 && procs->allocateProc && procs->lockProc &&
           procs->unlockProc && procs->freeProc;
}

bool allocateHostBuffer(const pi::FilterRecord* record, int32_t size, HostBuffer* buffer) {
    *buffer = HostBuffer{};
    if (size < 0) return false;
    if (!bufferSuiteUsable(record)) {
        buffer->plain = static_cast<char*>(std::calloc(1, size > 0 ? size_t(size) : 1));
        if (!buffer->plain) return false;
        buffer->data = buffer->plain;
        buffer->size = size;
        return true;
    }
    pi::BufferID id = nullptr;
    if (record->bufferProcs->allocateProc(size, &id) != 0 || !id) return false;
    char* p = record->bufferProcs->lockProc(id, 0);
    if (!p) {
        record->bufferProcs->freeProc(id);
        return false;
    }
    buffer->id = id;
    buffer->data = p;
    buffer->size = size;
    return true;
}

void freeHostBuffer(const pi::FilterRecord* record, HostBuffer* buffer) {
    if (buffer->id && record && record->bufferProcs) {
        record->bufferProcs->unlockProc(buffer->id);
        record->bufferProcs->freeProc(buffer->id);
    }
    std::free(buffer->plain);
    *buffer = HostBuffer{};
}

std::vector<uint8_t> copyHostColourProfile(const pi::FilterRecord& record) {
    if (!record.iCCprofileData || record.iCCprofileSize <= 0) return {};
    const int32_t held = handleSize(&record, record.iCCprofileData);
    const int32_t size = held > 0 && held < record.iCCprofileSize ? held : record.iCCprofileSize;
    const char* bytes = lockHandle(&record, record.iCCprofileData);
    if (!bytes) return {};
    HandleUnlocker unlock(&record, record.iCCprofileData);
    try {
        return std::vector<uint8_t>(bytes, bytes + size);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace lumenfall
