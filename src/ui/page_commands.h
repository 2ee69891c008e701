// The dialog's two HTML pages: the presets page (button 150) and the
// memory-dots page (a right click on the centre dot). These functions hold
// the steps (the folder prompt, the save dialog, writing, opening the page,
// reporting a failure); the window system answers through PageDialogs and
// the host renders the dots' pictures through PagesPort.
#ifndef LUMENFALL_UI_PAGE_COMMANDS_H
#define LUMENFALL_UI_PAGE_COMMANDS_H

#include <cstdint>
#include <string>
#include <vector>

#include "params/parameter_block.h"

namespace lumenfall {

constexpr const char* kPresetsPageName = "Lumenfall presets.html";
constexpr const char* kMemoryDotsPageName = "Lumenfall memory dots.html";
constexpr const char* kPageSaveTitle = "Save an HTML page";

// What the host does for the pages.
class PagesPort {
public:
    virtual ~PagesPort() = default;
    // The colour profile the host offers for the pictures (empty: none).
    virtual std::vector<uint8_t> colourProfile() = 0;
    // Writes the memory-dots page at `pagePath`: each of `filledDots`
    // (0..24) rendered on the current image at the picture size, the
    // current settings kept in memory and put back after each dot. Returns
    // an HtmlPageResult; `cells` receives the number of pictures.
    virtual int32_t writeMemoryDotsPage(const std::string& pagePath, const std::vector<int>& filledDots,
                                        int32_t* cells) = 0;
};

// What the pages ask of the window system.
class PageDialogs {
public:
    virtual ~PageDialogs() = default;
    // The folder prompt, starting in `folder` (260 bytes), which receives
    // the chosen folder. False when the user cancelled.
    virtual bool chooseFolder(char* folder) = 0;
    // The save dialog for an HTML page ("Save an HTML page", "*.html", with
    // overwrite confirmation), proposing `name` in `folder`.
    virtual bool choosePagePath(const char* name, const char* folder, std::string* path) = 0;
    virtual void waitCursor(bool on) = 0;
    virtual void reportFailure(const std::string& message) = 0;
    // The shell's "open" of the written page; false when it failed.
    virtual bool openPage(const std::string& path) = 0;
    // The dots' renders used the host's buffers: the preview asks for its
    // region again and is rendered.
    virtual void refreshPreview() {}
};

enum PageCommandResult : int32_t {
    kPageCommandDone = 0,
    kPageCommandDeclined = 1,   // a prompt was cancelled, or another page is being written
    kPageCommandFailed = 2,     // reported to the user
};

// Button 150. Runs once at a time; the block's HTML export flag is set while
// it runs and cleared however it ends. The folders the user chose are kept
// in the block (settingsFolder for the presets, htmlFolder for the page).
int32_t runPresetsPageCommand(ParameterBlock& block, PageDialogs& dialogs, PagesPort* port);

// The right click on the centre dot, with the filled dots in order.
int32_t runMemoryDotsPageCommand(ParameterBlock& block, PageDialogs& dialogs, PagesPort* port,
                                 const std::vector<int>& filledDots);

}  // namespace lumenfall

#endif
