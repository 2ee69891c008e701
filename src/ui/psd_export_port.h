// The dialog's way to the PSD export (button 117): the host side renders
// the whole filter rectangle through the host into a tiled image and writes
// the layered file; the dialog shows the progress and passes the user's
// cancel.
#ifndef LUMENFALL_UI_PSD_EXPORT_PORT_H
#define LUMENFALL_UI_PSD_EXPORT_PORT_H

#include <cstdint>
#include <string>

namespace lumenfall {

// What the export asks of the dialog while it runs.
class PsdExportWatcher {
public:
    virtual ~PsdExportWatcher() = default;
    // The export's percentage, 0..100, from the rendered rows.
    virtual void progress(int32_t percent) = 0;
    // True once the user asked to stop (asked often: it may pump messages).
    virtual bool cancelRequested() = 0;
    // The export has seen the cancel and stops.
    virtual void cancelNotice() = 0;
};

// The percentage of `row` (0-based) of pass `pass` out of `passes` passes of
// `rows` rows each: (pass rows + row) 100 / (passes rows), integer division
// in 64 bits; 0 when there is nothing to render.
int32_t psdExportPercent(int32_t pass, int32_t passes, int32_t row, int32_t rows);

class PsdExportPort {
public:
    virtual ~PsdExportPort() = default;
    // Renders the effect over the whole filter rectangle, then writes `path`
    // (export/psd_writer.h: a new file renamed over the target when
    // complete). Returns a PsdResult; on failure `reason` says why (the
    // size limits included when the size is refused, before any file is
    // created). The dialog's preview gets its region back afterwards.
    virtual int32_t exportTo(const std::string& path, PsdExportWatcher& watcher, std::string* reason) = 0;
};

}  // namespace lumenfall

#endif
