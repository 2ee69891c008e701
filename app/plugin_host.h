// Our own host: loads a plug-in module and runs it on an image in memory,
// with the full set of host callbacks. Every suite counts what it hands out
// and can fail on demand, and every call is logged, so the same host serves
// the command line and the tests.
#ifndef LUMENFALL_APP_PLUGIN_HOST_H
#define LUMENFALL_APP_PLUGIN_HOST_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "descriptor_host.h"
#include "filter_rect_option.h"
#include "host/pi_abi.h"
#include "image.h"

namespace lumenfall {

enum class HandleSuiteKind { Full, None, Version0, SevenProcs, NoLock };

struct HostOptions {
    pi::OSType hostSig = pi::fourCC("LMFH");
    bool offerAdvanceState = true;
    bool offerDisplayPixels = false;
    bool samplingSupport = true;       // advanceState serves inputRate above 1 (integer factors)
    bool offerBufferSuite = true;
    HandleSuiteKind handleSuite = HandleSuiteKind::Full;
    int32_t failBufferAllocation = 0;  // the Nth buffer allocation fails (1-based; 0 = never)
    int32_t failHandleAllocation = 0;  // the Nth handle allocation fails
    int32_t failAdvanceState = 0;      // the Nth advanceState call fails
    int32_t abortAtCall = 0;           // the Nth abortProc call answers true
    int16_t imageModeOverride = -1;    // report another image mode (refusal tests)
    int32_t depthOverride = -1;
    bool showDialog = false;           // call the parameters selector first
    bool progressBar = false;          // draw a progress bar on stderr
    bool passDescriptor = true;        // hand the plug-in a descriptor (empty when no settings are given)
    bool settingsFirstRunOnly = false; // later runs of this host get no descriptor
    FilterRectOption filterRect;       // the plug-in filters this rectangle (the whole picture when not given)

    // Behaviours of other hosts (see host_profiles.h).
    bool quirkyHandles = false;        // size 0 for its own handles, set-size does nothing
    bool hostAdvancesBeforeContinue = false;
    bool minimalServices = false;      // no descriptor procedures, no colour services, all space free
    bool freshDataEveryRun = false;    // data slot and parameters disposed before every run
    bool prepareTwice = false;
    bool cancelAfterStart = false;     // the user cancels after start: finish without continue
    std::vector<DescriptorEntry> descriptorEntries;
    DescriptorOptions descriptor;
    // The host's colour services, when set: the picker gets the prompt and
    // the current colour (0..255 each) and answers false for a cancel.
    std::function<bool(const std::string& prompt, int (&rgb)[3])> colourPicker;
};

struct HostCounters {
    int64_t bufferBytesAllocated = 0;
    int64_t bufferBytesFreed = 0;
    int32_t buffersOutstanding = 0;
    // Allocations answered with a buffer the plug-in had freed before.
    int32_t buffersReused = 0;
    int64_t handleBytesAllocated = 0;
    int64_t handleBytesFreed = 0;
    int32_t handlesOutstanding = 0;
    int32_t handlesLocked = 0;
    int32_t progressCalls = 0;
    int32_t abortCalls = 0;
    int32_t advanceStateCalls = 0;
    int32_t displayPixelsCalls = 0;
    // Displays that showed the first row of a buffer alone: a preview render
    // begins with one when the host redraws every row.
    int32_t previewRendersSeen = 0;
};

// One displayPixels call: the pixel map's bounds (top, left, bottom,
// right), mode and row bytes, the rectangle shown, where, and the FNV-1a
// checksum of the shown pixels' bytes.
struct PixelMapRecord {
    int32_t bounds[4];
    int32_t shown[4];
    int32_t imageMode;
    int32_t rowBytes;
    int32_t colBytes;
    int32_t row, column;
    uint32_t checksum;
};

struct ProgressCall {
    int32_t done;
    int32_t total;
};

struct RunOutcome {
    int16_t result = 0;            // the last selector's result
    int16_t failedSelector = -1;   // selector that returned non-zero, or -1
    bool rendered = false;         // the plug-in ran to the end of its rows
};

class PluginHost {
public:
    explicit PluginHost(HostOptions options = {});
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    bool load(const std::string& modulePath, std::string* error);

    // Runs the filter over `input`. `selection` (grey, same size) is optional;
    // pixels it leaves at 0 keep their input values exactly. `output` receives
    // the result in the input's layout and depth.
    RunOutcome run(const Image& input, const Image* selection, Image* output);

    // Calls the about selector with an about record.
    int16_t about();

    // Calls one selector with the current filter record (tests).
    int16_t callSelector(int16_t selector);

    // Releases the data slot and the parameter handle, as a host does when it
    // unloads the plug-in.
    void releasePluginData();
    // Releases those and the recorded descriptor: afterwards nothing the
    // plug-in obtained from this host should remain.
    void releaseEverything();

    HostOptions& options() { return options_; }
    const HostCounters& counters() const { return counters_; }
    // Bytes of the freed buffers kept for the next run's requests.
    size_t spareBufferBytes() const { return spareBufferBytes_; }
    const std::vector<std::string>& log() const { return log_; }
    const std::vector<ProgressCall>& progressCalls() const { return progress_; }
    const std::vector<PixelMapRecord>& pixelMaps() const { return pixelMaps_; }
    // The pixels of the last displayPixels call, 3 bytes (R, G, B) each, row by row.
    const std::vector<uint8_t>& lastShownPixels() const { return lastShown_; }
    pi::FilterRecord& record() { return *record_; }
    // The descriptor the plug-in recorded at finish.
    std::vector<DescriptorEntry> recordedDescriptor() const;
    const DescriptorHost& descriptors() const { return *descriptors_; }
    void clearLog();

    // Called by the callbacks (which receive no context).
    struct Callbacks;

private:
    struct Document;
    friend struct Callbacks;

    void setUpRecord(const Image& input, const Image* selection);
    void runSelectors(int32_t imageHeight, RunOutcome* outcome);
    bool runSelector(int16_t selector, RunOutcome* outcome);
    bool continueUntilDone(int32_t imageHeight, RunOutcome* outcome);
    bool bandsRequested() const;
    void finishOutput(const Image& input, const RunOutcome& outcome, Image* output);
    void commitOutput();
    int16_t deliverBands();
    void scribbleOutputFields(int16_t selector);
    void logLine(std::string line);
    // Frees those of `which` that are still spare.
    void releaseSpareBuffers(std::vector<void*> which);

    HostOptions options_;
    HostCounters counters_;
    std::vector<std::string> log_;
    std::vector<ProgressCall> progress_;
    std::vector<PixelMapRecord> pixelMaps_;
    std::vector<uint8_t> lastShown_;
    void* module_ = nullptr;
    pi::PluginMainProc entry_ = nullptr;
    std::unique_ptr<pi::FilterRecord> record_;
    intptr_t dataSlot_ = 0;
    pi::Handle parameters_ = nullptr;
    std::unique_ptr<Document> document_;
    std::unique_ptr<DescriptorHost> descriptors_;
    int32_t bufferAllocations_ = 0;
    int32_t handleAllocations_ = 0;
    // Buffers the plug-in freed, kept for its next request of the same size
    // (a run over a picture of the same shape asks for the same ones).
    std::vector<void*> spareBuffers_;
    size_t spareBufferBytes_ = 0;
    int32_t runs_ = 0;
};

// Set by Ctrl-C: the next abortProc call answers true.
void requestHostAbort();

}  // namespace lumenfall

#endif
