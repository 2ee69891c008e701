#include "ui/win32/file_dialogs.h"

#include <cstring>
#include <memory>
#include <vector>

#include "params/preset_format.h"
#include "ui/page_commands.h"
#include "ui/win32/common_controls.h"
#include "ui/win32/dialog_ids.h"
#include "ui/win32/dialog_window.h"
#include "ui/win32/thumbnail_picture.h"

namespace lumenfall {
namespace {

bool g_fileDialogOpen = false;

struct HookState {
    HWND owner;
    bool preview;
    BgrxPicture picture;  // what the open dialog's panel shows
};

void updatePanel(HWND child, HookState& state) {
    fillRampPicture(state.picture);
    char path[MAX_PATH] = {0};
    SendMessageA(GetParent(child), CDM_GETFILEPATH, sizeof path, reinterpret_cast<LPARAM>(path));
    path[MAX_PATH - 1] = 0;
    const char* name = std::strrchr(path, '\\');
    name = name ? name + 1 : path;
    if (std::strstr(name, ".q4q")) {
        const PresetThumbnailSink sink = bgrxPictureSink(state.picture);
        // The settings are read past into a scratch block.
        std::unique_ptr<ParameterBlock> scratch(new ParameterBlock{});
        PresetLoadReport report;
        loadPresetFile(scratch.get(), path, kReadThumbnailOnly, &sink, &report);
        if (!report.thumbnailLoaded) fillRampPicture(state.picture);
    }
    InvalidateRect(GetDlgItem(child, LF_OPEN_PREVIEW_PICTURE), nullptr, FALSE);
}

// The largest square centred in the picture area.
void drawPanel(const DRAWITEMSTRUCT& item, const BgrxPicture& p) {
    const RECT& r = item.rcItem;
    FillRect(item.hDC, &r, GetSysColorBrush(COLOR_BTNFACE));
    const int w = r.right - r.left, h = r.bottom - r.top;
    const int side = w < h ? w : h;
    drawBgrxPicture(item.hDC, r.left + (w - side) / 2, r.top + (h - side) / 2, side, side, p);
}

UINT_PTR CALLBACK fileDialogHook(HWND child, UINT message, WPARAM, LPARAM lParam) {
    auto* state = reinterpret_cast<HookState*>(GetWindowLongPtrA(child, GWLP_USERDATA));
    switch (message) {
        case WM_INITDIALOG: {
            auto* ofn = reinterpret_cast<OPENFILENAMEA*>(lParam);
            SetWindowLongPtrA(child, GWLP_USERDATA, ofn->lCustData);
            state = reinterpret_cast<HookState*>(ofn->lCustData);
            if (state->preview) fillRampPicture(state->picture);
            return TRUE;
        }
        case WM_NOTIFY: {
            if (!state) break;
            const auto* note = reinterpret_cast<const OFNOTIFYA*>(lParam);
            if (note->hdr.code == CDN_INITDONE) centreOver(GetParent(child), state->owner);
            if (note->hdr.code == CDN_SELCHANGE && state->preview) updatePanel(child, *state);
            break;
        }
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (state && item->CtlID == LF_OPEN_PREVIEW_PICTURE) {
                drawPanel(*item, state->picture);
                return TRUE;
            }
            break;
        }
    }
    return FALSE;
}

}  // namespace

const char* fileDialogTitle(FileDialogKind kind) {
    switch (kind) {
        case FileDialogKind::SaveSettings: return "Save a settings file";
        case FileDialogKind::OpenSettings: return "Open a settings file";
        case FileDialogKind::SavePsd: return "Save a PSD file";
        case FileDialogKind::SavePage: return kPageSaveTitle;
        default: return "Choose any file in the source folder";
    }
}

bool runFileDialog(HINSTANCE module, HWND owner, FileDialogKind kind, const std::string& proposedName,
                   const char* folder, std::string* path) {
    const CommonControls& cc = commonControls();
    const bool save = kind == FileDialogKind::SaveSettings || kind == FileDialogKind::SavePsd ||
                      kind == FileDialogKind::SavePage;
    if (g_fileDialogOpen || !(save ? cc.getSaveFileName : cc.getOpenFileName)) return false;
    char file[MAX_PATH] = {0};
    std::strncpy(file, proposedName.c_str(), MAX_PATH - 1);
    char start[MAX_PATH] = {0};
    if (folder) std::strncpy(start, folder, MAX_PATH - 1);
    HookState state{owner, kind == FileDialogKind::OpenSettings, {}};
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.hInstance = module;
    const bool presets = kind == FileDialogKind::SaveSettings || kind == FileDialogKind::OpenSettings;
    const bool psd = kind == FileDialogKind::SavePsd;
    const bool page = kind == FileDialogKind::SavePage;
    ofn.lpstrFilter = presets ? "Lumenfall presets (*.q4q)\0*.q4q\0"
                      : psd   ? "Photoshop files (*.psd)\0*.psd\0"
                      : page  ? "HTML files (*.html)\0*.html\0"
                              : "All files (*.*)\0*.*\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = start[0] ? start : nullptr;
    ofn.lpstrTitle = fileDialogTitle(kind);
    ofn.lpstrDefExt = presets ? "q4q" : psd ? "psd" : page ? "html" : nullptr;
    ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
    ofn.Flags |= save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST;
    if (kind == FileDialogKind::OpenSettings) {
        ofn.Flags |= OFN_ENABLETEMPLATE;
        ofn.lpTemplateName = "LFOPENPREVIEW";
    }
    ofn.lpfnHook = fileDialogHook;
    ofn.lCustData = reinterpret_cast<LPARAM>(&state);
    g_fileDialogOpen = true;
    const BOOL ok = save ? cc.getSaveFileName(&ofn) : cc.getOpenFileName(&ofn);
    g_fileDialogOpen = false;
    if (!ok) return false;
    *path = file;
    return true;
}

}  // namespace lumenfall
