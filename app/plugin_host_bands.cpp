// The filter record for a run and the bands it serves: what the plug-in asks
// for is filled from the picture, what it returns is committed to the output.
#include <algorithm>
#include <cstring>

#include "plugin_host_internal.h"

namespace lumenfall {

using namespace plugin_host_detail;

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

}  // namespace lumenfall
