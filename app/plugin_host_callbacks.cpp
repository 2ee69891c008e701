// The callbacks a run calls: cancel, progress, the band request, the colour
// picker and the preview's pixels.
#include <algorithm>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

#include "plugin_host_internal.h"

namespace lumenfall {

using namespace plugin_host_detail;

pi::Boolean PluginHost::Callbacks::abortProc() {
    PluginHost* h = g_current;
    if (!h) return 0;
    ++h->counters_.abortCalls;
    h->logLine("abortProc");
    if (g_abortRequested) return 1;
    return h->options_.abortAtCall > 0 && h->counters_.abortCalls == h->options_.abortAtCall ? 1 : 0;
}

void PluginHost::Callbacks::progressProc(int32_t done, int32_t total) {
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

pi::OSErr PluginHost::Callbacks::advanceState() {
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
pi::OSErr PluginHost::Callbacks::colorServices(void* data) {
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
pi::OSErr PluginHost::Callbacks::displayPixels(const pi::PSPixelMap* map, const pi::VRect* shown, int32_t row,
                                               int32_t column, void* context) {
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

}  // namespace lumenfall
