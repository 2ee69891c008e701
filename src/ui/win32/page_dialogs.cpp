#include "ui/win32/page_dialogs.h"

#include <cstring>

#include "params/product_identity.h"
#include "platform/shell_open.h"
#include "ui/page_commands.h"
#include "ui/win32/file_dialogs.h"
#include "ui/win32/plugin_module.h"

namespace lumenfall {
namespace {

class Win32PageDialogs : public PageDialogs {
public:
    Win32PageDialogs(HWND window, DialogPlatform& platform) : window_(window), platform_(platform) {}

    bool chooseFolder(char* folder) override { return chooseSourceFolder(platform_, folder); }
    bool choosePagePath(const char* name, const char* folder, std::string* path) override {
        return runFileDialog(pluginModule(), window_, FileDialogKind::SavePage, name, folder, path);
    }
    void waitCursor(bool on) override { platform_.setWaitCursor(on); }
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
