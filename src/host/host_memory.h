// Handle and buffer operations through the host's suites, with the fallbacks
// used when a host does not offer a usable suite.
#ifndef LUMENFALL_HOST_HOST_MEMORY_H
#define LUMENFALL_HOST_HOST_MEMORY_H

#include <cstdint>
#include <vector>

#include "host/pi_abi.h"

namespace lumenfall {

// True when the host's handle suite is version 1 with at least 8 procedures
// and the ones we call (new, dispose, size, lock, unlock) are present.
bool handleSuiteUsable(const pi::FilterRecord* record);

pi::Handle newHandle(const pi::FilterRecord* record, int32_t size);  // zero-filled
char* lockHandle(const pi::FilterRecord* record, pi::Handle h);
void unlockHandle(const pi::FilterRecord* record, pi::Handle h);
void disposeHandle(const pi::FilterRecord* record, pi::Handle h);
int32_t handleSize(const pi::FilterRecord* record, pi::Handle h);

// Unlocks a host handle when the scope ends, however it ends (an exception
// on its way to PluginMain's catch included), so no path leaves it locked.
class HandleUnlocker {
public:
    HandleUnlocker(const pi::FilterRecord* record, pi::Handle handle) : record_(record), handle_(handle) {}
    ~HandleUnlocker() {
        if (handle_) unlockHandle(record_, handle_);
    }
    HandleUnlocker(const HandleUnlocker&) = delete;
    HandleUnlocker& operator=(const HandleUnlocker&) = delete;

private:
    const pi::FilterRecord* record_;
    pi::Handle handle_;
};

// A buffer from the host's buffer suite, or from plain allocation when the
// host offers none.
struct HostBuffer {
    pi::BufferID id;   // host buffer, or null
    char* plain;       // plain allocation, or null
    char* data;        // locked pointer
    int32_t size;
};

bool bufferSuiteUsable(const pi::FilterRecord* record);

// Allocates and locks; false (and an empty buffer) on failure.
bool allocateHostBuffer(const pi::FilterRecord* record, int32_t size, HostBuffer* buffer);
// Unlocks and frees; safe on an empty buffer.
void freeHostBuffer(const pi::FilterRecord* record, HostBuffer* buffer);

// A copy of the colour profile the host offers (empty when it offers none,
// or the copy cannot be made). Hosts that cannot tell the size of their own
// handles (0) are taken at the record's size.
std::vector<uint8_t> copyHostColourProfile(const pi::FilterRecord& record);

}  // namespace lumenfall

#endif
