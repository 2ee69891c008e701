// The main dialog's window: the model's platform (ui/dialog_model.h) on
// Win32. Its parts: the services the model asks for (main_dialog_win.cpp),
// the layout at the dialog's DPI (main_dialog_layout.cpp), the controls' own
// keys (main_dialog_keys.cpp) and the dialog's messages
// (main_dialog_messages.cpp).
#ifndef LUMENFALL_UI_WIN32_MAIN_DIALOG_WINDOW_H
#define LUMENFALL_UI_WIN32_MAIN_DIALOG_WINDOW_H

#include <windows.h>

#include <string>
#include <vector>

#include "export/preset_thumbnail.h"
#include "params/product_identity.h"
#include "platform/shell_open.h"
#include "ui/dialog_model.h"
#include "ui/main_dialog.h"
#include "ui/win32/about_box.h"
#include "ui/win32/dialog_painter.h"
#include "ui/win32/file_dialogs.h"
#include "ui/win32/main_dialog_win.h"
#include "ui/win32/page_dialogs.h"
#include "ui/win32/plugin_module.h"
#include "ui/win32/preview_view.h"
#include "ui/win32/psd_export_dialog.h"

namespace lumenfall {

class Win32Dialog : public DialogPlatform, public PreviewRepaint {
public:
    explicit Win32Dialog(MainDialogRun& run) : run_(run), model_(*run.block, *this, *run.undo, run.dots) {}

    static INT_PTR CALLBACK proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    // DialogPlatform
    void setBoxText(int id, const std::string& text) override { SetDlgItemTextA(window_, id, text.c_str()); }
    std::string boxText(int id) override {
        char text[64] = {0};
        GetDlgItemTextA(window_, id, text, sizeof text);
        return text;
    }
    void setCheck(int id, int checked) override { CheckDlgButton(window_, id, checked ? BST_CHECKED : BST_UNCHECKED); }
    void setListIndex(int id, int index) override {
        SendDlgItemMessageA(window_, id, CB_SETCURSEL, WPARAM(index - 1), 0);
    }
    void repaint(int id) override {
        const ControlKind kind = controlInfo(id).kind;
        HWND item = GetDlgItem(window_, id);
        if (kind == ControlKind::ColourButton || kind == ControlKind::IconButton || kind == ControlKind::ZoomText) {
            if (item) InvalidateRect(item, nullptr, FALSE);
            return;
        }
        const RECT rc = deviceRect(id);
        InvalidateRect(window_, &rc, FALSE);
        // A focusable control's own window draws it again with its focus.
        if (focusable(kind) && item) InvalidateRect(item, nullptr, FALSE);
    }
    void enableControl(int id, bool on) override {
        if (HWND item = GetDlgItem(window_, id)) EnableWindow(item, on);
    }
    void startTimer(int id, int ms) override { SetTimer(window_, UINT_PTR(id), UINT(ms), nullptr); }
    void stopTimer(int id) override { KillTimer(window_, UINT_PTR(id)); }
    void captureMouse() override { SetCapture(window_); }
    void releaseMouse() override {
        releasing_ = true;
        ReleaseCapture();
        releasing_ = false;
    }
    void postMouseMove(int x, int y, bool ctrl) override {
        PostMessageA(window_, WM_MOUSEMOVE, MK_LBUTTON | (ctrl ? MK_CONTROL : 0),
                     MAKELPARAM(art_.scale.px(x), art_.scale.px(y)));
    }
    void postCommand(int id) override { PostMessageA(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    bool chooseColour(int, const char* prompt, uint16_t (&colour)[3]) override;
    bool chooseFile(FileDialogKind kind, const std::string& proposed, const char* folder, std::string* path) override {
        return runFileDialog(pluginModule(), window_, kind, proposed, folder, path);
    }
    void openAboutBox() override {
        if (aboutBoxIsOpen()) return;
        if (runAboutBox(pluginModule(), window_) == LF_ABOUT_VISIT_BUTTON) shellOpen(kMakerWebAddress);
    }
    void openInformation() override;
    void closeSubDialogs() override;
    void renderPreview() override;
    void exportPsd() override {
        // The export took the host's buffers: the preview is drawn again.
        if (runPsdExport(window_, *run_.block, run_.psdExport) != kPsdExportNotStarted) renderPreview();
    }
    PreviewPort* previewPort() override { return run_.preview; }
    void showPreviewRows() override;
    // PreviewRepaint: the rows a render finished, shown at once.
    void rowsReady(int32_t row) override;
    // The HTML pages (ui/win32/page_dialogs.h).
    void writePresetsPage() override { writePresetsPageFromDialog(window_, *this, run_); }
    void writeMemoryDotsPage(const std::vector<int>& filledDots) override {
        writeMemoryDotsPageFromDialog(window_, *this, run_, filledDots);
    }
    std::vector<uint8_t> thumbnailBlock() override {
        if (!run_.thumbnail) return {};
        // A fresh picture of what the preview shows (the ramp without one).
        if (run_.preview) run_.preview->makeThumbnail();
        return presetThumbnailBlock(run_.thumbnail);
    }
    bool showDotThumbnail(int dot) override;
    void clearDotThumbnail() override { art_.centre.clear(); }
    void setWaitCursor(bool on) override {
        waiting_ = on;
        SetCursor(LoadCursorA(nullptr, on ? IDC_WAIT : IDC_ARROW));
    }
    void endDialog(int code) override {
        KillTimer(window_, kNumberBoxTimer);
        EndDialog(window_, code);
    }

    // Keys and focus of the sliders, pickers, dots and checkboxes, and the
    // wheel over number boxes (their windows' subclass).
    static LRESULT CALLBACK focusableProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);

private:
    // The controls the dialog draws that take the keyboard focus (owner-drawn
    // windows over the dialog's own drawing).
    static bool focusable(ControlKind kind) {
        return kind == ControlKind::Slider || kind == ControlKind::Picker || kind == ControlKind::MemoryDot ||
               kind == ControlKind::CentreDot;
    }
    RECT deviceRect(int id) const {
        const ControlRect r = art_.scale.rect(windowRect(id));
        return RECT{r.left, r.top, r.left + r.width, r.top + r.height};
    }
    int logical(int device) const { return art_.scale.logical(device); }
    void applyScale(int dpi);
    void loadIcons();
    void fitNumberBoxes();
    void setTabOrder();
    void wheel(WPARAM wParam, LPARAM lParam);
    void initialise(HWND dialog);
    void layOut(bool centre = true);
    void fillLists();
    void paint();
    void drawOwnerDrawn(const DRAWITEMSTRUCT& item);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
    // The families of messages handle() passes on.
    INT_PTR drawingMessage(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR controlCommand(WPARAM wParam);
    INT_PTR pointerMessage(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR answerControlState(WPARAM wParam, LPARAM lParam);

    MainDialogRun& run_;
    MainDialogModel model_;
    HWND window_ = nullptr;
    Artwork32 art_;
    HWND tooltips_ = nullptr;
    int wheelRest_ = 0;  // a wheel's turn short of one notch
    bool releasing_ = false;
    bool rendering_ = false;
    bool waiting_ = false;
    int32_t shownRows_ = 0;  // rows of the current render already shown
};

}  // namespace lumenfall

#endif
