// The main dialog's PSD export (button 117): the save dialog, the progress
// dialog ZUDID_PROGRESS whose first timer tick runs the export through the
// host, and a message box when the file was not written.
#ifndef LUMENFALL_UI_WIN32_PSD_EXPORT_DIALOG_H
#define LUMENFALL_UI_WIN32_PSD_EXPORT_DIALOG_H

#include <windows.h>

#include "params/parameter_block.h"
#include "ui/psd_export_port.h"

namespace lumenfall {

// The code of an export that did not start: the save dialog was cancelled,
// or a progress dialog is already open (it is brought to the top).
constexpr int kPsdExportNotStarted = 199;

// Asks for the file (starting in the block's PSD folder, which then holds
// the chosen file's folder) and runs the export with its progress dialog.
// Returns 1 when the export ran, whatever its outcome (a failure has been
// shown), or kPsdExportNotStarted.
int runPsdExport(HWND owner, ParameterBlock& block, PsdExportPort* port);

}  // namespace lumenfall

#endif
