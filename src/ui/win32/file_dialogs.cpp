#include "ui/win32/file_dialogs.h"

#include <cstring>
#include <memory>
#include <vector>

#include "export/thumbnail.h"
#include "export/thumbnail_jpeg.h"
#include "params/preset_format.h"
#include "ui/win32/common_controls.h"
#include "ui/win32/dialog_ids.h"

namespace lumenfall {
namespace {

bool g_fileDialogOpen = false;

// What the open dialog's panel shows: 128 x 128 RGBX, top row first.
struct PanelPicture {
    int width = kThumbnailSide, height = kThumbnailSide;
    std::vector<uint8_t> bgrx;
};

struct HookState {
    HWND owner;
    bool preview;
    PanelPicture picture;
};

void showRamp(PanelPicture& p) {
    Thumbnail ramp;
    fillThumbnailRamp(ramp);
    p.width = p.height = kThumbnailSide;
    p.bgrx.assign(size_t(kThumbnailSide) * kThumbnailSide * 4, 0);
    for (int i = 0; i < kThumbnailSide * kThumbnailSide; ++i) {
        p.bgrx[i * 4 + 0] = ramp.rgb[i * 3 + 2];
        p.bgrx[i * 4 + 1] = ramp.rgb[i * 3 + 1];
        p.bgrx[i * 4 + 2] = ramp.rgb[i * 3 + 0];
    }
}

bool acceptThumbnail(void* context, const uint8_t* jpeg, size_t size, int32_t width, int32_t height) {
    auto* p = static_cast<PanelPicture*>(context);
    ThumbnailPixels pixels;
    if (width < 1 || height < 1 || decodeThumbnailJpeg(jpeg, size, width, height, 4, pixels) != kThumbnailDecoded)
        return false;
    p->width = pixels.width;
    p->height = pixels.height;
    p->bgrx.assign(size_t(p->width) * p->height * 4, 0);
    for (size_t i = 0; i < size_t(p->width) * p->height; ++i) {
        p->bgrx[i * 4 + 0] = pixels.pixels[i * 4 + 2];
        p->bgrx[i * 4 + 1] = pixels.pixels[i * 4 + 1];
        p->bgrx[i * 4 + 2] = pixels.pixels[i * 4 + 0];
    }
    return true;
}

void updatePanel(HWND child, HookState& state) {
    showRamp(state.picture);
    char path[MAX_PATH] = {0};
    SendMessageA(GetParent(child), CDM_GETFILEPATH, sizeof path, reinterpret_cast<LPARAM>(path));
    path[MAX_PATH - 1] = 0;
    const char* name = std::strrchr(path, '\\');
    name = name ? name + 1 : path;
    if (std::strstr(name, ".q4q")) {
        PresetThumbnailSink sink;
        sink.context = &state.picture;
        sink.accept = acceptThumbnail;
        // The settings are read past into a scratch block.
        std::unique_ptr<ParameterBlock> scratch(new ParameterBlock{});
        PresetLoadReport report;
        loadPresetFile(scratch.get(), path, kReadThumbnailOnly, &sink, &report);
        if (!report.thumbnailLoaded) showRamp(state.picture);
    }
    InvalidateRect(GetDlgItem(child, LF_OPEN_PREVIEW_PICTURE), nullptr, FALSE);
}

// The largest square centred in the picture area.
void drawPanel(const DRAWITEMSTRUCT& item, const PanelPicture& p) {
    const RECT& r = item.rcItem;
    FillRect(item.hDC, &r, GetSysColorBrush(COLOR_BTNFACE));
    const int w = r.right - r.left, h = r.bottom - r.top;
    const int side = w < h ? w : h;
    if (side <= 0 || p.bgrx.empty()) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = p.width;
    info.bmiHeader.biHeight = -p.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(item.hDC, HALFTONE);
    StretchDIBits(item.hDC, r.left + (w - side) / 2, r.top + (h - side) / 2, side, side, 0, 0, p.width, p.height,
                  p.bgrx.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

void centreOver(HWND window, HWND owner) {
    RECT own, mine, work;
    if (!GetWindowRect(owner, &own) || !GetWindowRect(window, &mine)) return;
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

UINT_PTR CALLBACK fileDialogHook(HWND child, UINT message, WPARAM, LPARAM lParam) {
    auto* state = reinterpret_cast<HookState*>(GetWindowLongPtrA(child, GWLP_USERDATA));
    switch (message) {
        case WM_INITDIALOG: {
            auto* ofn = reinterpret_cast<OPENFILENAMEA*>(lParam);
            SetWindowLongPtrA(child, GWLP_USERDATA, ofn->lCustData);
            state = reinterpret_cast<HookState*>(ofn->lCustData);
            if (state->preview) showRamp(state->picture);
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
        default: return "Choose any file in the source folder";
    }
}

bool runFileDialog(HINSTANCE module, HWND owner, FileDialogKind kind, const std::string& proposedName,
                   const char* folder, std::string* path) {
    const CommonControls& cc = commonControls();
    const bool save = kind == FileDialogKind::SaveSettings || kind == FileDialogKind::SavePsd;
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
    ofn.lpstrFilter = presets ? "Lumenfall presets (*.q4q)\0*.q4q\0"
                      : psd   ? "Photoshop files (*.psd)\0*.psd\0"
                              : "All files (*.*)\0*.*\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = start[0] ? start : nullptr;
    ofn.lpstrTitle = fileDialogTitle(kind);
    ofn.lpstrDefExt = presets ? "q4q" : psd ? "psd" : nullptr;
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
