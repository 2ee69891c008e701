#include "host/psd_export_host.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <new>
#include <vector>

#include "export/psd_writer.h"
#include "host/dialog_renders.h"
#include "host/preview_port.h"
#include "host/render_geometry.h"
#include "render/tiled_image.h"

namespace lumenfall {
namespace {

// The block's export-format slot while a PSD export runs (3 otherwise).
constexpr int32_t kExportFormatPsd = 6;

// The render's rows as the export's percentage: one pass, for the one
// layer; the watcher hears each new value once.
class ExportHooks : public DialogRenderHooks {
public:
    ExportHooks(PsdExportWatcher& watcher, int32_t rows) : watcher_(watcher), rows_(rows) {}
    void progress(int32_t done, int32_t) override { show(psdExportPercent(0, 1, done, rows_)); }
    bool cancelPending() override { return watcher_.cancelRequested(); }
    void cancelNotice() override { watcher_.cancelNotice(); }
    void show(int32_t percent) {
        if (percent == last_) return;
        last_ = percent;
        watcher_.progress(percent);
    }

private:
    PsdExportWatcher& watcher_;
    int32_t rows_;
    int32_t last_ = -1;
};

// While the file is written the percentage stays at 100; a cancel still
// stops it and keeps the old file.
bool keepWriting(void* context, int32_t) { return !static_cast<PsdExportWatcher*>(context)->cancelRequested(); }

class ImageHolder {
public:
    ImageHolder() { initTiledImage(image, nullptr, nullptr); }
    ~ImageHolder() { freeTiledImage(&image); }
    TiledImage image;
};

}  // namespace

int32_t HostPsdExportPort::renderAndWrite(const std::string& path, PsdExportWatcher& watcher, std::string* reason) {
    const pi::FilterRecord& record = *g_.record;
    const pi::Rect filter = record.filterRect;
    const int32_t width = filter.right - filter.left, height = filter.bottom - filter.top;
    const bool deep = record.depth == 16 || record.imageMode == pi::kModeGray16 || record.imageMode == pi::kModeRGB48;
    const std::vector<uint8_t> profile = copyHostColourProfile(record);
    const PsdExportSettings settings =
        psdSettingsFor(block_, profile.empty() ? nullptr : profile.data(), profile.size());
    char message[320] = {0};
    // Refused before anything is rendered or created.
    if (!psdSizeAllowed(width, height, deep ? 2 : 1, settings, message, sizeof message)) {
        *reason = message;
        return kPsdTooLarge;
    }

    ImageHolder holder;
    if (!createTiledImage(&holder.image, width, height, deep ? kStoreRgba16 : kStoreRgba8, 0, false)) {
        *reason = "there is not enough memory for the rendered image";
        return kPsdNoImage;
    }
    // The whole filter rectangle at full size, from its first row.
    setRenderGeometry(g_, block_, renderRectOf(filter), 1);
    ExportHooks hooks(watcher, height);
    hooks.show(0);
    bool cancelled = false;
    *g_.result = 0;
    renderIntoTiledImage(g_, block_, &holder.image, &cancelled, &hooks);
    if (cancelled || *g_.result == pi::kUserCanceledErr) {
        *reason = "cancelled";
        return kPsdCancelled;
    }
    if (*g_.result != 0) {
        std::snprintf(message, sizeof message, "the picture could not be rendered (error %d)", int(*g_.result));
        *reason = message;
        return kPsdNoImage;
    }
    hooks.show(psdExportPercent(1, 1, 0, height));  // the layer is complete

    const PsdProgress writing{&watcher, keepWriting};
    const int32_t written = writePsdFile(path.c_str(), &holder.image, settings, &writing, nullptr, message,
                                         sizeof message);
    if (written != kPsdWritten) *reason = message;
    return written;
}

int32_t HostPsdExportPort::exportTo(const std::string& path, PsdExportWatcher& watcher, std::string* reason) {
    reason->clear();
    if (!g_.record || !g_.result) {
        *reason = "there is no picture to render";
        return kPsdNoImage;
    }
    // Everything the export changes is put back: the run's result, the
    // geometry and row counters, the preview's scale, view and target.
    const int16_t savedResult = *g_.result;
    const RenderGeometry savedGeometry = g_.geometry;
    RenderStateSnapshot snapshot;
    saveRenderState(snapshot, g_, block_, true);
    const int32_t savedFormat = block_.exportFormat;
    block_.exportFormat = kExportFormatPsd;
    int32_t result = kPsdNoImage;
    try {
        result = renderAndWrite(path, watcher, reason);
    } catch (const std::bad_alloc&) {
        *reason = "there is not enough memory";
    } catch (const std::exception&) {
        *reason = "the export failed";
    }
    block_.exportFormat = savedFormat;
    restoreRenderState(snapshot, g_, block_, nullptr);
    g_.geometry = savedGeometry;
    *g_.result = savedResult;
    // The export's row requests replaced the host's buffers: the preview
    // asks for its region again.
    if (preview_ && preview_->holdsRegion()) preview_->requestRegion();
    return result;
}

}  // namespace lumenfall
