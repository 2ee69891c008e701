// What the parts of our host share: the host whose run is in progress (the
// callbacks receive no context), the document of a run, the callbacks and
// the memory suites handed to the plug-in.
#ifndef LUMENFALL_APP_PLUGIN_HOST_INTERNAL_H
#define LUMENFALL_APP_PLUGIN_HOST_INTERNAL_H

#include <atomic>
#include <string>
#include <vector>

#include "plugin_host.h"

namespace lumenfall {
namespace plugin_host_detail {

extern PluginHost* g_current;  // the host whose run is in progress
extern std::atomic<bool> g_abortRequested;
extern pi::HandleProcs g_handleProcs;
extern pi::BufferProcs g_bufferProcs;

// Points the suites at our callbacks, in the shape the options ask for.
void fillSuites(HandleSuiteKind kind, bool quirky);
DescriptorMemory descriptorMemory(HandleSuiteKind kind);

std::string rectText(const pi::Rect& r);
bool rectEmpty(const pi::Rect& r);

}  // namespace plugin_host_detail

struct PluginHost::Document {
    int32_t width = 0, height = 0;
    int32_t colours = 3;
    int32_t planes = 3;        // colours + transparency
    int32_t depth = 8;
    // The input and the output are the caller's images in the file's range;
    // 16-bit samples are converted to and from the host's range as bands
    // are filled and committed, so the run keeps no copy of the picture.
    const Image* input = nullptr;
    Image* output = nullptr;
    std::vector<uint8_t> selection;
    std::vector<uint8_t> inBuffer, outBuffer, maskBuffer;
    pi::Rect outDelivered{0, 0, 0, 0};
    int16_t outLo = 0, outHi = -1;
    int32_t outRowBytes = 0;

    int32_t bytes() const { return depth == 16 ? 2 : 1; }
    size_t at(int32_t x, int32_t y, int32_t p) const {
        return (size_t(y) * size_t(width) + size_t(x)) * size_t(planes) + size_t(p);
    }
    static uint16_t hostValue(const Image& image, size_t i) {
        const uint16_t v = image.samples[i];
        return image.depth == 16 ? fileToHost16(v) : v;
    }
    // A host sample the plug-in wrote, in the file's range. Where it equals
    // the input's sample in the host's range the plug-in left it alone, and
    // the file's own value goes back, so 16-bit samples the host's range
    // cannot hold exactly survive untouched.
    uint16_t fileValue(size_t i, uint16_t v) const {
        if (depth != 16) return v;
        return fileSampleAfter(input->samples[i], v);
    }
};

struct PluginHost::Callbacks {
    static pi::Boolean abortProc();
    static void progressProc(int32_t done, int32_t total);
    static pi::OSErr advanceState();

    // The colour picker of the colour services; other selectors are not offered.
    static pi::OSErr colorServices(void* data);

    // Records every pixel map; on Windows it is drawn into the device
    // context the plug-in passes (its dialog's).
    static pi::OSErr displayPixels(const pi::PSPixelMap* map, const pi::VRect* shown, int32_t row, int32_t column,
                                   void* context);

    // The handle suite.
    static pi::Handle newHandle(int32_t size);

    // Handles the host makes for itself (descriptors): counted, never failed on demand.
    static pi::Handle hostNewHandle(int32_t size);
    static void disposeHandle(pi::Handle hd);
    static int32_t handleSize(pi::Handle hd);
    static pi::OSErr setHandleSize(pi::Handle, int32_t);

    // A suite that cannot tell the size of its own handles and ignores resizing.
    static int32_t quirkyHandleSize(pi::Handle);
    static pi::OSErr quirkySetHandleSize(pi::Handle, int32_t);
    static pi::Ptr lockHandle(pi::Handle hd, pi::Boolean);
    static void unlockHandle(pi::Handle hd);
    static void recoverSpace(int32_t);


    // The buffer suite.
    static pi::OSErr allocateBuffer(int32_t size, pi::BufferID* id);
    static pi::Ptr lockBuffer(pi::BufferID id, pi::Boolean);
    static void unlockBuffer(pi::BufferID);
    static void freeBuffer(pi::BufferID id);
    static int32_t bufferSpace();
};

}  // namespace lumenfall

#endif
