// The host's side of scripting descriptors: read and write suites with the
// semantics of a real host (keys handed out in order and crossed off the
// plug-in's key list, typed getters, sticky errors reported at close, a
// missing-parameter error at close when listed keys were absent).
#ifndef LUMENFALL_APP_DESCRIPTOR_HOST_H
#define LUMENFALL_APP_DESCRIPTOR_HOST_H

#include <cstdint>
#include <string>
#include <vector>

#include "host/pi_abi.h"

namespace lumenfall {

struct DescriptorEntry {
    uint32_t key = 0;
    uint32_t type = 0;       // 'long', 'doub', 'bool', 'enum'
    uint32_t enumType = 0;   // for 'enum'
    int64_t integer = 0;     // long, bool, enum code
    double number = 0;       // doub
};

// How descriptor handles are made and freed: through the host's handle suite
// or the platform's global memory, whichever the plug-in will dispose with.
struct DescriptorMemory {
    pi::Handle (*create)(int32_t size);
    char* (*lock)(pi::Handle h);
    void (*unlock)(pi::Handle h);
    void (*dispose)(pi::Handle h);
    int32_t (*size)(pi::Handle h);
};

struct DescriptorOptions {
    int16_t playInfo = pi::kPlayDialogDontDisplay;
    int16_t closeReaderError = 0;   // returned by the close of the reader when not 0
    int16_t readProcsCount = 18;
    int16_t writeProcsCount = 16;
    bool offerSuites = true;
    bool nullProcedures = false;    // a parameters record whose procedures are null
};

class DescriptorHost {
public:
    DescriptorHost(DescriptorMemory memory, DescriptorOptions options);
    ~DescriptorHost();

    // Points the filter record at this host's descriptor parameters, with a
    // new descriptor holding `entries` (or none when `withDescriptor` is false).
    void attach(pi::FilterRecord& record, const std::vector<DescriptorEntry>& entries, bool withDescriptor);

    // The entries of the descriptor the plug-in left in the record (recorded at finish).
    std::vector<DescriptorEntry> recorded() const;

    // Frees the descriptor the record still holds.
    void release();

    bool sawSecondReader() const { return secondReader_; }
    int32_t readersOpened() const { return readersOpened_; }
    const std::vector<std::string>& log() const { return log_; }

    pi::Handle makeDescriptor(const std::vector<DescriptorEntry>& entries);
    std::vector<DescriptorEntry> entriesOf(pi::Handle handle) const;

    struct Procs;

private:
    friend struct Procs;
    DescriptorMemory memory_;
    DescriptorOptions options_;
    pi::PIDescriptorParameters parameters_{};
    pi::ReadDescriptorProcs readProcs_{};
    pi::WriteDescriptorProcs writeProcs_{};
    pi::Handle openOn_ = nullptr;   // descriptor with a reader open on it
    bool readerOpen_ = false;
    bool secondReader_ = false;
    int32_t readersOpened_ = 0;
    std::vector<std::string> log_;
};

}  // namespace lumenfall

#endif
