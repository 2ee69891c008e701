// The PSD export of the dialog through the host: the whole filter rectangle
// rendered into a tiled image of the host's depth (renderIntoTiledImage),
// then the layered file with the host's ICC profile and the keywords of
// the block's settings.
#ifndef LUMENFALL_HOST_PSD_EXPORT_HOST_H
#define LUMENFALL_HOST_PSD_EXPORT_HOST_H

#include "host/globals.h"
#include "ui/psd_export_port.h"

namespace lumenfall {

class HostPreviewPort;

class HostPsdExportPort : public PsdExportPort {
public:
    // `preview` (may be null) gets its region back after an export, since
    // the export's row requests replace the host's buffers.
    HostPsdExportPort(PluginGlobals& g, ParameterBlock& block, HostPreviewPort* preview)
        : g_(g), block_(block), preview_(preview) {}

    int32_t exportTo(const std::string& path, PsdExportWatcher& watcher, std::string* reason) override;

private:
    int32_t renderAndWrite(const std::string& path, PsdExportWatcher& watcher, std::string* reason);

    PluginGlobals& g_;
    ParameterBlock& block_;
    HostPreviewPort* preview_;
};

}  // namespace lumenfall

#endif
