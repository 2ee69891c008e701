#include "ui/win32/psd_export_dialog.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "export/psd_writer.h"
#include "ui/dialog_model.h"
#include "ui/win32/dialog_ids.h"
#include "ui/win32/dialog_window.h"
#include "ui/win32/file_dialogs.h"
#include "ui/win32/plugin_module.h"

namespace lumenfall {
namespace {

constexpr UINT_PTR kStartTimer = 1;
constexpr UINT kStartDelayMs = 1000;
// The progress dialog's own messages (Escape, the close box, painting) are
// handled at most this often while the export runs.
constexpr DWORD kPumpIntervalMs = 10;

HWND g_progressWindow = nullptr;

class ExportJob : public PsdExportWatcher {
public:
    ExportJob(PsdExportPort& port, const std::string& path) : port_(port), path_(path) {}

    void run() {
        started_ = true;
        running_ = true;
        result_ = port_.exportTo(path_, *this, &reason_);
        running_ = false;
    }
    bool started() const { return started_; }
    bool running() const { return running_; }
    int32_t result() const { return started_ ? result_ : int32_t(kPsdCancelled); }
    const std::string& reason() const { return reason_; }
    const std::string& path() const { return path_; }

    void attach(HWND window) {
        window_ = window;
        cancel_ = false;
    }
    // Escape or the close box while the export runs.
    void requestCancel() {
        if (cancel_) return;
        cancel_ = true;
        showLower("Cancelling...");
    }

    // PsdExportWatcher
    void progress(int32_t percent) override {
        if (!window_ || cancel_) return;
        char text[16];
        std::snprintf(text, sizeof text, "%d%%", int(percent));
        showLower(text);
        SetWindowPos(window_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        pump(true);
    }
    bool cancelRequested() override {
        pump(false);
        return cancel_;
    }
    void cancelNotice() override { requestCancel(); }

private:
    // The text goes to the screen at once: the export holds the thread, and
    // a paint left for the message queue may wait behind other input.
    void showLower(const char* text) {
        if (!window_) return;
        SetDlgItemTextA(window_, LF_PROGRESS_PERCENT, text);
        RedrawWindow(GetDlgItem(window_, LF_PROGRESS_PERCENT), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        UpdateWindow(window_);
    }
    // The export runs inside the dialog's timer message: its own messages
    // are taken here, the main dialog's wait (it is disabled meanwhile).
    void pump(bool now) {
        if (!window_) return;
        const DWORD tick = GetTickCount();
        if (!now && tick - lastPump_ < kPumpIntervalMs) return;
        lastPump_ = tick;
        MSG message;
        while (PeekMessageA(&message, window_, 0, 0, PM_REMOVE)) {
            if (!IsDialogMessageA(window_, &message)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        }
    }

    PsdExportPort& port_;
    std::string path_;
    std::string reason_;
    HWND window_ = nullptr;
    bool cancel_ = false;
    bool started_ = false;
    bool running_ = false;
    int32_t result_ = kPsdCancelled;
    DWORD lastPump_ = 0;
};

void closeProgress(HWND dialog, ExportJob& job) {
    if (job.running()) {
        job.requestCancel();
        return;
    }
    // Closed before the first tick: nothing runs, nothing is written.
    KillTimer(dialog, kStartTimer);
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    EndDialog(dialog, 1);
}

INT_PTR CALLBACK progressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* job = reinterpret_cast<ExportJob*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dialog, DWLP_USER, lParam);
            job = reinterpret_cast<ExportJob*>(lParam);
            g_progressWindow = dialog;
            centreOver(dialog, GetWindow(dialog, GW_OWNER));
            ShowWindow(dialog, SW_SHOW);
            BringWindowToTop(dialog);
            SetCursor(LoadCursor(nullptr, IDC_WAIT));
            job->attach(dialog);
            SetTimer(dialog, kStartTimer, kStartDelayMs, nullptr);
            return TRUE;
        case WM_TIMER:
            if (wParam != kStartTimer || !job) break;
            KillTimer(dialog, kStartTimer);
            if (!job->started()) job->run();
            SetCursor(LoadCursor(nullptr, IDC_ARROW));
            EndDialog(dialog, 1);
            return TRUE;
        case WM_SETCURSOR:
            SetCursor(LoadCursor(nullptr, IDC_WAIT));
            SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) != IDCANCEL || !job) break;
            closeProgress(dialog, *job);
            return TRUE;
        case WM_CLOSE:
            if (job) closeProgress(dialog, *job);
            return TRUE;
    }
    return FALSE;
}

// The chosen file's folder, ending in its separator, when it fits the field.
void rememberFolder(ParameterBlock& block, const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos || slash + 1 >= sizeof block.psdFolder) return;
    std::memset(block.psdFolder, 0, sizeof block.psdFolder);
    std::memcpy(block.psdFolder, path.data(), slash + 1);
}

void reportFailure(HWND owner, const ExportJob& job) {
    std::string text;
    if (job.result() == kPsdCancelled) {
        text = "The PSD export was cancelled: " + job.path() + " was not written.";
    } else if (job.result() == kPsdTooLarge) {
        text = "The PSD file " + job.path() + " was not written: " + job.reason() + ".";
    } else {
        text = "The PSD file " + job.path() + " could not be written: " +
               (job.reason().empty() ? std::string("the export failed") : job.reason()) + ".";
    }
    text += "\n\nA file of that name keeps its old contents.";
    MessageBoxA(owner, text.c_str(), "Lumenfall", MB_OK | MB_ICONWARNING);
}

int runExport(HWND owner, ParameterBlock& block, PsdExportPort* port) {
    if (g_progressWindow) {
        SetWindowPos(g_progressWindow, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        return kPsdExportNotStarted;
    }
    if (!port) return kPsdExportNotStarted;
    std::string path;
    if (!runFileDialog(pluginModule(), owner, FileDialogKind::SavePsd, "Lumenfall result.psd", block.psdFolder,
                       &path))
        return kPsdExportNotStarted;
    rememberFolder(block, path);
    ExportJob job(*port, path);
    const INT_PTR shown = DialogBoxParamA(pluginModule(), "ZUDID_PROGRESS", owner, progressProc,
                                          reinterpret_cast<LPARAM>(&job));
    g_progressWindow = nullptr;
    // Without its progress dialog the export still runs.
    if (shown == -1 && !job.started()) job.run();
    if (job.result() != kPsdWritten) reportFailure(owner, job);
    return 1;
}

}  // namespace

int runPsdExport(HWND owner, ParameterBlock& block, PsdExportPort* port) {
    // Nothing thrown leaves the window procedure that called this.
    try {
        return runExport(owner, block, port);
    } catch (...) {
        g_progressWindow = nullptr;
        return 1;
    }
}

}  // namespace lumenfall
