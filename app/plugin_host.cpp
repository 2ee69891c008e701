#include "plugin_host.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

#include <vector>

#include "platform/global_memory.h"
#include "platform/module_loader.h"

namespace lumenfall {
namespace {

PluginHost* g_current = nullptr;  // the host whose run is in progress
std::atomic<bool> g_abortRequested{false};

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

std::string rectText(const pi::Rect& r) {
    char text[64];
    std::snprintf(text, sizeof text, "(%d,%d,%d,%d)", r.top, r.left, r.bottom, r.right);
    return text;
}

bool rectEmpty(const pi::Rect& r) { return r.bottom <= r.top || r.right <= r.left; }

}  // namespace

void requestHostAbort() { g_abortRequested = true; }

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
    static pi::Boolean abortProc() {
        PluginHost* h = g_current;
        if (!h) return 0;
        ++h->counters_.abortCalls;
        h->logLine("abortProc");
        if (g_abortRequested) return 1;
        return h->options_.abortAtCall > 0 && h->counters_.abortCalls == h->options_.abortAtCall ? 1 : 0;
    }

    static void progressProc(int32_t done, int32_t total) {
        PluginHost* h = g_current;
        if (!h) return;
        ++h->counters_.progressCalls;
        h->progress_.push_back({done, total});
        char line[64];
        std::snprintf(line, sizeof line, "progressProc %d/%d", done, total);
        h->logLine(line);
        if (h->options_.progressBar && total > 0) {
            const int width = 40;
            const int filled = int(int64_t(std::clamp(done, 0, total)) * width / total);
            std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################",
                         width - filled, "", int(int64_t(done) * 100 / total));
            std::fflush(stderr);
        }
    }

    static pi::OSErr advanceState() {
        PluginHost* h = g_current;
        if (!h) return pi::kParamErr;
        ++h->counters_.advanceStateCalls;
        pi::FilterRecord& r = *h->record_;
        h->logLine("advanceState in=" + rectText(r.inRect) + " out=" + rectText(r.outRect) +
                   " mask=" + rectText(r.maskRect));
        h->commitOutput();
        if (h->options_.failAdvanceState > 0 && h->counters_.advanceStateCalls == h->options_.failAdvanceState) {
            h->logLine("advanceState fails");
            return -36;
        }
        return h->deliverBands();
    }

    // The colour picker of the colour services; other selectors are not offered.
    static pi::OSErr colorServices(void* data) {
        PluginHost* h = g_current;
        auto* info = static_cast<pi::ColorServicesInfo*>(data);
        if (!h || !info || info->infoSize < int32_t(sizeof(pi::ColorServicesInfo)) ||
            info->selector != pi::kColorServicesChooseColor || !h->options_.colourPicker)
            return -50;  // paramErr
        const unsigned char* counted = info->selectorParameter.pickerPrompt;
        const std::string prompt = counted ? std::string(reinterpret_cast<const char*>(counted + 1), counted[0]) : "";
        int rgb[3] = {info->colorComponents[0], info->colorComponents[1], info->colorComponents[2]};
        h->logLine("colorServices " + prompt);
        if (!h->options_.colourPicker(prompt, rgb)) return pi::kUserCanceledErr;
        for (int c = 0; c < 3; ++c) info->colorComponents[c] = int16_t(rgb[c]);
        info->resultSpace = pi::kColorSpaceRGB;
        return 0;
    }

    // Records every pixel map; on Windows it is drawn into the device
    // context the plug-in passes (its dialog's).
    static pi::OSErr displayPixels(const pi::PSPixelMap* map, const pi::VRect* shown, int32_t row, int32_t column,
                                   void* context) {
        PluginHost* h = g_current;
        if (!h) return pi::kParamErr;
        if (!map || !shown || !map->baseAddr || map->version < 1 || map->colBytes < 1 || map->planeBytes != 1)
            return pi::kParamErr;
        const pi::VRect& b = map->bounds;
        if (shown->top < b.top || shown->left < b.left || shown->bottom > b.bottom || shown->right > b.right ||
            shown->bottom <= shown->top || shown->right <= shown->left)
            return pi::kParamErr;
        const int32_t w = shown->right - shown->left, height = shown->bottom - shown->top;
        const bool grey = map->imageMode == pi::kModeGrayScale;
        if (!grey && map->colBytes < 3) return pi::kParamErr;
        PixelMapRecord rec{{b.top, b.left, b.bottom, b.right},
                           {shown->top, shown->left, shown->bottom, shown->right},
                           map->imageMode, map->rowBytes, map->colBytes, row, column, 2166136261u};
        const auto* base = static_cast<const uint8_t*>(map->baseAddr);
        auto pixel = [&](int32_t y, int32_t x) {
            return base + int64_t(shown->top - b.top + y) * map->rowBytes + int64_t(shown->left - b.left + x) * map->colBytes;
        };
        h->lastShown_.resize(size_t(w) * size_t(height) * 3);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < w; ++x)
                for (int32_t c = 0; c < 3; ++c) {
                    const uint8_t v = pixel(y, x)[grey ? 0 : c];
                    if (!grey || c == 0) rec.checksum = (rec.checksum ^ v) * 16777619u;
                    h->lastShown_[(size_t(y) * size_t(w) + size_t(x)) * 3 + size_t(c)] = v;
                }
        ++h->counters_.displayPixelsCalls;
        if (height == 1 && shown->top == b.top) ++h->counters_.previewRendersSeen;
        h->pixelMaps_.push_back(rec);
        char line[192];
        std::snprintf(line, sizeof line,
                      "displayPixels bounds=(%d,%d,%d,%d) shown=(%d,%d,%d,%d) mode=%d rowBytes=%d at=%d,%d sum=%08x",
                      b.top, b.left, b.bottom, b.right, shown->top, shown->left, shown->bottom, shown->right,
                      map->imageMode, map->rowBytes, row, column, rec.checksum);
        h->logLine(line);
#ifdef _WIN32
        if (context) {
            std::vector<uint32_t> bgra(size_t(w) * size_t(height));
            for (int32_t y = 0; y < height; ++y)
                for (int32_t x = 0; x < w; ++x) {
                    const uint8_t* p = pixel(y, x);
                    const uint32_t r = p[0], g = grey ? p[0] : p[1], bl = grey ? p[0] : p[2];
                    bgra[size_t(y) * w + x] = bl | (g << 8) | (r << 16);
                }
            BITMAPINFO info{};
            info.bmiHeader.biSize = sizeof info.bmiHeader;
            info.bmiHeader.biWidth = w;
            info.bmiHeader.biHeight = -height;  // top-down
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            info.bmiHeader.biCompression = BI_RGB;
            SetDIBitsToDevice(static_cast<HDC>(context), column, row, DWORD(w), DWORD(height), 0, 0, 0, UINT(height),
                              bgra.data(), &info, DIB_RGB_COLORS);
        }
#else
        (void)context;
#endif
        return 0;
    }

    // ---- handle suite ----
    static pi::Handle newHandle(int32_t size) {
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
    static pi::Handle hostNewHandle(int32_t size) {
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
    static void disposeHandle(pi::Handle hd) {
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
    static int32_t handleSize(pi::Handle hd) { return hd ? reinterpret_cast<HostHandle*>(hd)->size : 0; }
    static pi::OSErr setHandleSize(pi::Handle, int32_t) { return pi::kMemFullErr; }
    // A suite that cannot tell the size of its own handles and ignores resizing.
    static int32_t quirkyHandleSize(pi::Handle) { return 0; }
    static pi::OSErr quirkySetHandleSize(pi::Handle, int32_t) { return 0; }
    static pi::Ptr lockHandle(pi::Handle hd, pi::Boolean) {
        if (!hd) return nullptr;
        auto* handle = reinterpret_cast<HostHandle*>(hd);
        ++handle->locks;
        if (g_current) ++g_current->counters_.handlesLocked;
        return handle->data;
    }
    static void unlockHandle(pi::Handle hd) {
        if (!hd) return;
        auto* handle = reinterpret_cast<HostHandle*>(hd);
        if (handle->locks > 0) {
            --handle->locks;
            if (g_current) --g_current->counters_.handlesLocked;
        }
    }
    static void recoverSpace(int32_t) {}

    // ---- buffer suite ----
    static pi::OSErr allocateBuffer(int32_t size, pi::BufferID* id) {
        PluginHost* h = g_current;
        *id = nullptr;
        if (!h || size < 0) return pi::kMemFullErr;
        ++h->bufferAllocations_;
        if (h->options_.failBufferAllocation > 0 && h->bufferAllocations_ == h->options_.failBufferAllocation) {
            h->logLine("allocateBuffer " + std::to_string(size) + " fails");
            return pi::kMemFullErr;
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
    static pi::Ptr lockBuffer(pi::BufferID id, pi::Boolean) {
        return id ? reinterpret_cast<HostBufferRecord*>(id)->data : nullptr;
    }
    static void unlockBuffer(pi::BufferID) {}
    static void freeBuffer(pi::BufferID id) {
        if (!id) return;
        auto* record = reinterpret_cast<HostBufferRecord*>(id);
        if (PluginHost* h = g_current) {
            h->counters_.bufferBytesFreed += record->size;
            --h->counters_.buffersOutstanding;
            h->logLine("freeBuffer " + std::to_string(record->size));
        }
        std::free(record->data);
        std::free(record);
    }
    static int32_t bufferSpace() { return 256 * 1024 * 1024; }
};

namespace {

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

}  // namespace

namespace {

// Descriptor handles must be freeable by whichever memory the plug-in uses.
DescriptorMemory descriptorMemory(HandleSuiteKind kind) {
    using C = PluginHost::Callbacks;
    if (kind == HandleSuiteKind::Full)
        return DescriptorMemory{C::hostNewHandle, [](pi::Handle h) { return C::lockHandle(h, 0); }, C::unlockHandle,
                                C::disposeHandle, C::handleSize};
    return DescriptorMemory{globalNew, globalLock, globalUnlock, globalDispose, globalSize};
}

}  // namespace

PluginHost::PluginHost(HostOptions options)
    : options_(options), record_(new pi::FilterRecord()), document_(new Document()),
      descriptors_(new DescriptorHost(descriptorMemory(options.handleSuite), options.descriptor)) {
    std::memset(record_.get(), 0, sizeof(pi::FilterRecord));
}

std::vector<DescriptorEntry> PluginHost::recordedDescriptor() const { return descriptors_->recorded(); }

PluginHost::~PluginHost() {
    {
        PluginHost* previous = g_current;
        g_current = this;
        descriptors_->release();
        g_current = previous;
    }
    releasePluginData();
    unloadModule(module_);
}

bool PluginHost::load(const std::string& modulePath, std::string* error) {
    module_ = loadModule(modulePath, error);
    if (!module_) return false;
    entry_ = reinterpret_cast<pi::PluginMainProc>(findSymbol(module_, "PluginMain"));
    if (!entry_) {
        *error = modulePath + " has no PluginMain entry point";
        unloadModule(module_);
        module_ = nullptr;
        return false;
    }
    return true;
}

void PluginHost::logLine(std::string line) { log_.push_back(std::move(line)); }

void PluginHost::clearLog() {
    log_.clear();
    progress_.clear();
}

int16_t PluginHost::about() {
    pi::AboutRecord about{};
    pi::PlatformData platform{};
    about.platformData = &platform;
    int16_t result = 0;
    PluginHost* previous = g_current;
    g_current = this;
    entry_(pi::kSelectorAbout, &about, &dataSlot_, &result);
    g_current = previous;
    logLine("selector 0 -> " + std::to_string(result));
    return result;
}

int16_t PluginHost::callSelector(int16_t selector) {
    int16_t result = 0;
    PluginHost* previous = g_current;
    g_current = this;
    record_->parameters = parameters_;
    entry_(selector, record_.get(), &dataSlot_, &result);
    parameters_ = record_->parameters;
    g_current = previous;
    logLine("selector " + std::to_string(selector) + " -> " + std::to_string(result));
    return result;
}

void PluginHost::releaseEverything() {
    PluginHost* previous = g_current;
    g_current = this;
    descriptors_->release();
    g_current = previous;
    releasePluginData();
}

// Before a selector, the fields the plug-in must set for it hold nonsense,
// so that a plug-in relying on what an earlier call left there shows.
void PluginHost::scribbleOutputFields(int16_t selector) {
    pi::FilterRecord& r = *record_;
    const pi::Rect nonsense{-7, -13, 23130, 23131};
    r.inRect = r.outRect = r.maskRect = nonsense;
    r.inLoPlane = r.outLoPlane = 77;
    r.inHiPlane = r.outHiPlane = -3;
    r.inputRate = r.maskRate = 0x5A5A5A5A;
    r.inputPadding = r.outputPadding = r.maskPadding = 0x5A;
    if (selector == pi::kSelectorPrepare && !options_.minimalServices) r.bufferSpace = -1;
}

void PluginHost::releasePluginData() {
    PluginHost* previous = g_current;
    g_current = this;
    // Without a usable handle suite the plug-in keeps its data in the
    // platform's movable global memory, which is freed the same way.
    const bool ours = options_.handleSuite == HandleSuiteKind::Full;
    auto dispose = [&](pi::Handle h) {
        if (!h) return;
        if (ours) Callbacks::disposeHandle(h);
        else globalDispose(h);
    };
    dispose(reinterpret_cast<pi::Handle>(dataSlot_));
    dispose(parameters_);
    dataSlot_ = 0;
    parameters_ = nullptr;
    g_current = previous;
}

void PluginHost::setUpRecord(const Image& input, const Image* selection) {
    Document& doc = *document_;
    doc.width = input.width;
    doc.height = input.height;
    doc.colours = input.colourChannels;
    doc.planes = input.channels();
    doc.depth = input.depth;
    doc.input = &input;
    doc.selection.clear();
    if (selection) {
        doc.selection.resize(size_t(input.width) * input.height);
        const Image grey = convertImage(*selection, 1, false, 8);
        for (size_t i = 0; i < doc.selection.size(); ++i) doc.selection[i] = uint8_t(grey.samples[i]);
    }
    doc.outDelivered = pi::Rect{0, 0, 0, 0};

    fillSuites(options_.handleSuite, options_.quirkyHandles);
    pi::FilterRecord& r = *record_;
    pi::Handle keep = parameters_;
    std::memset(&r, 0, sizeof r);
    r.parameters = keep;
    r.abortProc = Callbacks::abortProc;
    r.progressProc = Callbacks::progressProc;
    r.imageSize = pi::Point{int16_t(input.height), int16_t(input.width)};
    r.planes = int16_t(doc.planes);
    r.filterRect = filterRectFor(options_.filterRect, input.width, input.height);
    r.maxSpace = options_.minimalServices ? INT32_MAX : 256 * 1024 * 1024;
    if (options_.minimalServices) r.bufferSpace = INT32_MAX;
    r.isFloating = 0;
    r.haveMask = selection ? 1 : 0;
    r.hostSig = options_.hostSig;
    r.imageMode = input.colourChannels == 1 ? (input.depth == 16 ? pi::kModeGray16 : pi::kModeGrayScale)
                                            : (input.depth == 16 ? pi::kModeRGB48 : pi::kModeRGB);
    if (options_.imageModeOverride >= 0) r.imageMode = options_.imageModeOverride;
    r.wholeSize = r.imageSize;
    r.bufferProcs = options_.offerBufferSuite ? &g_bufferProcs : nullptr;
    r.handleProcs = options_.handleSuite == HandleSuiteKind::None ? nullptr : &g_handleProcs;
    r.displayPixels = options_.offerDisplayPixels ? Callbacks::displayPixels : nullptr;
    r.colorServices = options_.colourPicker ? Callbacks::colorServices : nullptr;
    r.advanceState = options_.offerAdvanceState ? Callbacks::advanceState : nullptr;
    r.filterCase = input.hasAlpha ? (selection ? pi::kFilterCaseEditableTransparencyWithSelection
                                               : pi::kFilterCaseEditableTransparencyNoSelection)
                                  : (selection ? pi::kFilterCaseFlatImageWithSelection
                                               : pi::kFilterCaseFlatImageNoSelection);
    r.supportsPadding = 1;
    r.samplingSupport = options_.samplingSupport ? 1 : 0;
    r.depth = options_.depthOverride >= 0 ? options_.depthOverride : input.depth;
    r.imageHRes = r.imageVRes = 72 * pi::kFixedOne;
    // What the file says about itself, as a host offers it: its resolution
    // and its colour profile (a host handle, freed after the run).
    const ImageMetadata& meta = input.metadata;
    if (meta.xResolution >= 1 && meta.yResolution >= 1 && meta.xResolution < 32768 && meta.yResolution < 32768) {
        r.imageHRes = pi::Fixed(meta.xResolution * pi::kFixedOne);
        r.imageVRes = pi::Fixed(meta.yResolution * pi::kFixedOne);
    }
    if (!meta.icc.empty() && meta.icc.size() < (64u << 20)) {
        if (pi::Handle profile = Callbacks::hostNewHandle(int32_t(meta.icc.size()))) {
            std::memcpy(*profile, meta.icc.data(), meta.icc.size());
            r.iCCprofileData = profile;
            r.iCCprofileSize = int32_t(meta.icc.size());
        }
    }
    const bool describe = options_.passDescriptor && !(options_.settingsFirstRunOnly && runs_ > 0);
    descriptors_->attach(r, options_.descriptorEntries, describe);
}

// Copies the band the plug-in wrote back into the document.
void PluginHost::commitOutput() {
    Document& doc = *document_;
    if (!doc.output || rectEmpty(doc.outDelivered) || doc.outBuffer.empty()) return;
    const pi::Rect r = doc.outDelivered;
    const int32_t planes = doc.outHi - doc.outLo + 1;
    // 8-bit bands of every plane inside the picture: whole rows of bytes.
    if (doc.depth != 16 && !doc.output->samples.wide() && planes == doc.planes && doc.outLo == 0 && r.left >= 0 &&
        r.right <= doc.width) {
        uint8_t* target = doc.output->samples.bytes();
        const size_t bytes = size_t(r.right - r.left) * size_t(planes);
        for (int32_t y = std::max<int32_t>(r.top, 0); y < std::min<int32_t>(r.bottom, doc.height); ++y)
            std::memcpy(target + doc.at(r.left, y, 0), &doc.outBuffer[size_t(y - r.top) * doc.outRowBytes], bytes);
        return;
    }
    // 16-bit bands of every plane inside the picture: rows of samples, each
    // converted back to the file's range as fileValue does.
    if (doc.depth == 16 && doc.output->samples.wide() && doc.input->samples.wide() && planes == doc.planes &&
        doc.outLo == 0 && r.left >= 0 && r.right <= doc.width) {
        uint16_t* target = reinterpret_cast<uint16_t*>(doc.output->samples.bytes());
        const uint16_t* original = reinterpret_cast<const uint16_t*>(doc.input->samples.bytes());
        const size_t count = size_t(r.right - r.left) * size_t(planes);
        for (int32_t y = std::max<int32_t>(r.top, 0); y < std::min<int32_t>(r.bottom, doc.height); ++y) {
            const uint8_t* row = &doc.outBuffer[size_t(y - r.top) * doc.outRowBytes];
            const size_t at = doc.at(r.left, y, 0);
            for (size_t i = 0; i < count; ++i) {
                uint16_t v;
                std::memcpy(&v, row + 2 * i, 2);
                const uint16_t file = original[at + i];
                target[at + i] = v == fileToHost16(file) ? file : hostToFile16(v);
            }
        }
        return;
    }
    for (int32_t y = std::max<int32_t>(r.top, 0); y < std::min<int32_t>(r.bottom, doc.height); ++y) {
        for (int32_t x = std::max<int32_t>(r.left, 0); x < std::min<int32_t>(r.right, doc.width); ++x) {
            for (int32_t p = 0; p < planes; ++p) {
                const int32_t plane = doc.outLo + p;
                if (plane < 0 || plane >= doc.planes) continue;
                const size_t offset = size_t(y - r.top) * doc.outRowBytes + size_t((x - r.left) * planes + p) * doc.bytes();
                uint16_t v;
                if (doc.depth == 16) std::memcpy(&v, &doc.outBuffer[offset], 2);
                else v = doc.outBuffer[offset];
                const size_t i = doc.at(x, y, plane);
                doc.output->samples[i] = doc.fileValue(i, v);
            }
        }
    }
}

// Fills the plug-in's requested rectangles, with edge replication outside the image.
int16_t PluginHost::deliverBands() {
    Document& doc = *document_;
    pi::FilterRecord& r = *record_;
    if (!doc.input || !doc.output) return pi::kParamErr;  // outside a run
    auto clampX = [&](int32_t x) { return std::clamp(x, 0, doc.width - 1); };
    auto clampY = [&](int32_t y) { return std::clamp(y, 0, doc.height - 1); };

    // Returns the row bytes; the filter record is packed, so its fields are
    // assigned directly rather than through pointers.
    auto fill = [&](const pi::Rect& rect, int16_t lo, int16_t hi, int32_t rate, const Image& from,
                    std::vector<uint8_t>& buffer) -> int32_t {
        if (rectEmpty(rect) || hi < lo || lo < 0 || hi >= doc.planes) {
            buffer.clear();
            return 0;
        }
        const int32_t planes = hi - lo + 1;
        const int32_t w = rect.right - rect.left, h = rect.bottom - rect.top;
        const int32_t step = std::max(1, rate / pi::kFixedOne);
        const int32_t rowBytes = w * planes * doc.bytes();
        buffer.assign(size_t(rowBytes) * h, 0);
        // 8-bit samples at full rate inside the picture: whole runs of bytes.
        const bool inside = rect.left >= 0 && rect.right <= doc.width;
        if (doc.depth != 16 && step == 1 && inside && !from.samples.wide()) {
            const uint8_t* source = from.samples.bytes();
            for (int32_t y = 0; y < h; ++y) {
                const uint8_t* row = source + doc.at(rect.left, clampY(rect.top + y), lo);
                uint8_t* out = buffer.data() + size_t(y) * rowBytes;
                if (planes == doc.planes) {
                    std::memcpy(out, row, size_t(rowBytes));
                } else {
                    for (int32_t x = 0; x < w; ++x)
                        for (int32_t p = 0; p < planes; ++p) out[x * planes + p] = row[size_t(x) * doc.planes + p];
                }
            }
            return rowBytes;
        }
        // 16-bit samples at full rate inside the picture: rows converted to
        // the host's range.
        if (doc.depth == 16 && from.depth == 16 && step == 1 && inside && from.samples.wide() &&
            planes == doc.planes) {
            const uint16_t* source = reinterpret_cast<const uint16_t*>(from.samples.bytes());
            for (int32_t y = 0; y < h; ++y) {
                const uint16_t* row = source + doc.at(rect.left, clampY(rect.top + y), lo);
                uint8_t* out = buffer.data() + size_t(y) * rowBytes;
                for (int32_t i = 0; i < w * planes; ++i) {
                    const uint16_t v = fileToHost16(row[i]);
                    std::memcpy(out + 2 * i, &v, 2);
                }
            }
            return rowBytes;
        }
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                for (int32_t p = 0; p < planes; ++p) {
                    const uint16_t v = Document::hostValue(
                        from, doc.at(clampX((rect.left + x) * step), clampY((rect.top + y) * step), lo + p));
                    const size_t offset = size_t(y) * rowBytes + size_t(x * planes + p) * doc.bytes();
                    if (doc.depth == 16) std::memcpy(&buffer[offset], &v, 2);
                    else buffer[offset] = uint8_t(v);
                }
        return rowBytes;
    };

    // A host without sampling delivers every request at full size.
    const int32_t inputRate = options_.samplingSupport ? r.inputRate : pi::kFixedOne;
    const int32_t maskRate = options_.samplingSupport ? r.maskRate : pi::kFixedOne;
    r.inRowBytes = fill(r.inRect, r.inLoPlane, r.inHiPlane, inputRate, *doc.input, doc.inBuffer);
    r.inData = doc.inBuffer.empty() ? nullptr : doc.inBuffer.data();
    r.outRowBytes = fill(r.outRect, r.outLoPlane, r.outHiPlane, pi::kFixedOne, *doc.output, doc.outBuffer);
    r.outData = doc.outBuffer.empty() ? nullptr : doc.outBuffer.data();
    doc.outDelivered = r.outData ? r.outRect : pi::Rect{0, 0, 0, 0};
    doc.outLo = r.outLoPlane;
    doc.outHi = r.outHiPlane;
    doc.outRowBytes = r.outRowBytes;

    if (!doc.selection.empty() && !rectEmpty(r.maskRect)) {
        const int32_t w = r.maskRect.right - r.maskRect.left, h = r.maskRect.bottom - r.maskRect.top;
        const int32_t step = std::max(1, maskRate / pi::kFixedOne);
        doc.maskBuffer.assign(size_t(w) * h, 0);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                doc.maskBuffer[size_t(y) * w + x] =
                    doc.selection[size_t(clampY((r.maskRect.top + y) * step)) * doc.width + clampX((r.maskRect.left + x) * step)];
        r.maskData = doc.maskBuffer.data();
        r.maskRowBytes = w;
    } else {
        doc.maskBuffer.clear();
        r.maskData = nullptr;
        r.maskRowBytes = 0;
    }
    return 0;
}

RunOutcome PluginHost::run(const Image& input, const Image* selection, Image* output) {
    RunOutcome outcome;
    g_abortRequested = false;
    if (options_.freshDataEveryRun) releasePluginData();
    bufferAllocations_ = 0;
    handleAllocations_ = 0;
    // The output starts as the input; the plug-in's bands are committed into it.
    try {
        *output = input;
    } catch (const std::bad_alloc&) {
        outcome.result = pi::kMemFullErr;
        return outcome;
    }
    // A filter rectangle beyond the picture is never handed to the plug-in.
    std::string outside;
    if (!filterRectFits(options_.filterRect, input.width, input.height, &outside)) {
        outcome.result = pi::kParamErr;
        return outcome;
    }
    document_->output = output;
    PluginHost* previous = g_current;
    g_current = this;
    setUpRecord(input, selection);

    auto step = [&](int16_t selector) {
        if (selector != pi::kSelectorContinue && selector != pi::kSelectorFinish) scribbleOutputFields(selector);
        const int16_t result = callSelector(selector);
        commitOutput();
        outcome.result = result;
        if (result != 0) outcome.failedSelector = selector;
        return result == 0;
    };
    auto anyRect = [&] {
        const pi::FilterRecord& r = *record_;
        return !rectEmpty(r.inRect) || !rectEmpty(r.outRect) || !rectEmpty(r.maskRect);
    };

    bool ok = true;
    if (options_.showDialog) ok = step(pi::kSelectorParameters);
    ok = ok && step(pi::kSelectorPrepare);
    if (options_.prepareTwice) ok = ok && step(pi::kSelectorPrepare);
    ok = ok && step(pi::kSelectorStart);
    if (ok && options_.cancelAfterStart) {
        // The user cancelled before the first continue: the host ends the
        // run with finish and keeps the original picture.
        logLine("host cancels before continue");
        step(pi::kSelectorFinish);
        outcome.result = pi::kUserCanceledErr;
        outcome.failedSelector = pi::kSelectorContinue;
        ok = false;
    }
    if (ok) {
        // A plug-in that keeps asking for data without advancing is stopped
        // after far more calls than an image's rows can need.
        const int64_t limit = int64_t(input.height) * 8 + 64;
        int64_t calls = 0;
        while (ok && anyRect()) {
            if (++calls > limit) {
                logLine("continue loop does not end");
                outcome.result = pi::kParamErr;
                outcome.failedSelector = pi::kSelectorContinue;
                ok = false;
                break;
            }
            if (options_.hostAdvancesBeforeContinue) {
                logLine("host advances in=" + rectText(record_->inRect) + " out=" + rectText(record_->outRect) +
                        " mask=" + rectText(record_->maskRect));
                commitOutput();
                deliverBands();
            } else if (!options_.offerAdvanceState) {
                deliverBands();
            }
            ok = step(pi::kSelectorContinue);
        }
    }
    if (ok) {
        outcome.rendered = true;
        ok = step(pi::kSelectorFinish);
        if (!ok) outcome.rendered = false;
    }
    if (record_->iCCprofileData) {
        Callbacks::disposeHandle(record_->iCCprofileData);
        record_->iCCprofileData = nullptr;
        record_->iCCprofileSize = 0;
    }
    g_current = previous;
    ++runs_;
    if (options_.progressBar) std::fprintf(stderr, "\r%*s\r", 50, "");

    // The result blended with the original through the selection; a run
    // that did not finish leaves the input as it was.
    Document& doc = *document_;
    doc.output = nullptr;
    doc.input = nullptr;
    if (!outcome.rendered) {
        *output = input;
        return outcome;
    }
    if (doc.selection.empty()) return outcome;
    for (int32_t y = 0; y < doc.height; ++y)
        for (int32_t x = 0; x < doc.width; ++x) {
            const uint32_t m = doc.selection[size_t(y) * doc.width + x];
            if (m == 255) continue;
            for (int32_t p = 0; p < doc.planes; ++p) {
                const size_t i = doc.at(x, y, p);
                const int64_t original = input.samples[i];
                const int64_t v = output->samples[i];
                output->samples[i] = uint16_t(original + (v - original) * int64_t(m) / 255);
            }
        }
    return outcome;
}

}  // namespace lumenfall
