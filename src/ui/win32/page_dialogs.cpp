#include "ui/win32/page_dialogs.h"

#include <cstring>

#include "params/product_identity.h"
#include "platform/shell_open.h"
#include "ui/page_commands.h"
#include "ui/win32/common_controls.h"

namespace lumenfall {
namespace {

void centreOver(HWND window, HWND owner) {
    RECT own, mine, work;
    if (!owner || !GetWindowRect(owner, &own) || !GetWindowRect(window, &mine)) return;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) GetWindowRect(GetDesktopWindow(), &work);
    const int w = mine.right - mine.left, h = mine.bottom - mine.top;
    int x = own.left + (own.right - own.left - w) / 2;
    int y = own.top + (own.bottom - own.top - h) / 2;
    if (x + w > work.right) x = work.right - w;
    if (y + h > work.bottom) y = work.bottom - h;
    if (x < work.left) x = work.left;
    if (y < work.top) y = work.top;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

UINT_PTR CALLBACK saveDialogHook(HWND child, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto* ofn = reinterpret_cast<const OPENFILENAMEA*>(lParam);
        SetWindowLongPtrA(child, GWLP_USERDATA, ofn->lCustData);
    } else if (message == WM_NOTIFY && reinterpret_cast<const OFNOTIFYA*>(lParam)->hdr.code == CDN_INITDONE) {
        centreOver(GetParent(child), reinterpret_cast<HWND>(GetWindowLongPtrA(child, GWLP_USERDATA)));
    }
    return 0;
}

class Win32PageDialogs : public PageDialogs {
public:
    Win32PageDialogs(HWND window, DialogPlatform& platform) : window_(window), platform_(platform) {}

    bool chooseFolder(char* folder) override { return chooseSourceFolder(platform_, folder); }
    bool choosePagePath(const char* name, const char* folder, std::string* path) override {
        return runPageSaveDialog(window_, name, folder, path);
    }
    void waitCursor(bool on) override { SetCursor(LoadCursorA(nullptr, on ? IDC_WAIT : IDC_ARROW)); }
    void reportFailure(const std::string& message) override {
        MessageBoxA(window_, message.c_str(), kProductName, MB_OK | MB_ICONWARNING);
    }
    bool openPage(const std::string& path) override { return shellOpen(path); }
    void refreshPreview() override {
        PreviewPort* port = platform_.previewPort();
        if (port && port->requestRegion()) platform_.renderPreview();
    }

private:
    HWND window_;
    DialogPlatform& platform_;
};

}  // namespace

bool runPageSaveDialog(HWND owner, const char* name, const char* folder, std::string* path) {
    const CommonControls& cc = commonControls();
    if (!cc.getSaveFileName) return false;
    char file[MAX_PATH] = {0};
    std::strncpy(file, name, MAX_PATH - 1);
    char start[MAX_PATH] = {0};
    if (folder) std::strncpy(start, folder, MAX_PATH - 1);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = "HTML files (*.html)\0*.html\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = start[0] ? start : nullptr;
    ofn.lpstrTitle = kPageSaveTitle;
    ofn.lpstrDefExt = "html";
    ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
                OFN_OVERWRITEPROMPT;
    ofn.lpfnHook = saveDialogHook;
    ofn.lCustData = reinterpret_cast<LPARAM>(owner);
    if (!cc.getSaveFileName(&ofn)) return false;
    *path = file;
    return true;
}

void writePresetsPageFromDialog(HWND window, DialogPlatform& platform, MainDialogRun& run) {
    if (!run.block) return;
    Win32PageDialogs dialogs(window, platform);
    // Nothing is thrown through the window system's frames.
    try {
        runPresetsPageCommand(*run.block, dialogs, run.pages);
    } catch (...) {
        dialogs.reportFailure("The HTML page could not be written: out of memory.");
    }
}

void writeMemoryDotsPageFromDialog(HWND window, DialogPlatform& platform, MainDialogRun& run,
                                   const std::vector<int>& filledDots) {
    if (!run.block) return;
    Win32PageDialogs dialogs(window, platform);
    try {
        runMemoryDotsPageCommand(*run.block, dialogs, run.pages, filledDots);
    } catch (...) {
        dialogs.reportFailure("The HTML page could not be written: out of memory.");
    }
}

}  // namespace lumenfall
