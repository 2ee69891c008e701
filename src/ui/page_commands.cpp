#include "ui/page_commands.h"

#include "export/html_page.h"
#include "params/settings_commands.h"

namespace lumenfall {
namespace {

// The block's HTML export flag, cleared however the command ends.
class ExportFlag {
public:
    explicit ExportFlag(ParameterBlock& block) : block_(block), taken_(block.htmlExportFlag == 0) {
        if (taken_) block_.htmlExportFlag = 1;
    }
    ~ExportFlag() {
        if (taken_) block_.htmlExportFlag = 0;
    }
    bool taken() const { return taken_; }

private:
    ParameterBlock& block_;
    bool taken_;
};

class WaitCursor {
public:
    explicit WaitCursor(PageDialogs& dialogs) : dialogs_(dialogs) { dialogs_.waitCursor(true); }
    ~WaitCursor() { dialogs_.waitCursor(false); }

private:
    PageDialogs& dialogs_;
};

// The save dialog; the chosen page's folder becomes the block's export folder.
bool askPagePath(ParameterBlock& block, PageDialogs& dialogs, const char* name, std::string* path) {
    if (!dialogs.choosePagePath(name, block.htmlFolder, path) || path->empty()) return false;
    folderOfChosenFile(path->c_str(), block.htmlFolder);
    return true;
}

std::string failureText(int32_t result, const std::string& path) {
    switch (result) {
        case kPageCannotCreate:
            return "The HTML page " + path + " or its picture folder " + kPicturesFolderName +
                   " could not be created.";
        default: return "The HTML page " + path + " could not be written completely; an older page stays as it was.";
    }
}

int32_t finish(int32_t result, const std::string& path, PageDialogs& dialogs) {
    if (result == kPageCancelled) return kPageCommandDeclined;  // the user's own stop: nothing to report
    if (result != kPageWritten) {
        dialogs.reportFailure(failureText(result, path));
        return kPageCommandFailed;
    }
    if (!dialogs.openPage(path)) {
        dialogs.reportFailure("The HTML page " + path + " was written but could not be opened.");
        return kPageCommandFailed;
    }
    return kPageCommandDone;
}

}  // namespace

int32_t runPresetsPageCommand(ParameterBlock& block, PageDialogs& dialogs, PagesPort* port) {
    ExportFlag flag(block);
    if (!flag.taken()) return kPageCommandDeclined;
    if (!dialogs.chooseFolder(block.settingsFolder)) return kPageCommandDeclined;
    const std::string presets = block.settingsFolder;
    std::string path;
    if (!askPagePath(block, dialogs, kPresetsPageName, &path)) return kPageCommandDeclined;
    const std::vector<uint8_t> profile = port ? port->colourProfile() : std::vector<uint8_t>();
    int32_t result;
    {
        WaitCursor wait(dialogs);
        result = writePresetsPage(presets, path, nullptr, PageProfile{profile.data(), profile.size()});
    }
    if (result == kPageBusy) return kPageCommandDeclined;
    return finish(result, path, dialogs);
}

int32_t runMemoryDotsPageCommand(ParameterBlock& block, PageDialogs& dialogs, PagesPort* port,
                                 const std::vector<int>& filledDots) {
    ExportFlag flag(block);
    if (!flag.taken()) return kPageCommandDeclined;
    std::string path;
    if (!askPagePath(block, dialogs, kMemoryDotsPageName, &path)) return kPageCommandDeclined;
    if (!port) {
        dialogs.reportFailure("The memory dots cannot be rendered in this host.");
        return kPageCommandFailed;
    }
    int32_t result;
    {
        WaitCursor wait(dialogs);
        result = port->writeMemoryDotsPage(path, filledDots, nullptr);
    }
    dialogs.refreshPreview();
    return finish(result, path, dialogs);
}

}  // namespace lumenfall
