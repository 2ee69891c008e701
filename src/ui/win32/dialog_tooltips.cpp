#include "ui/win32/dialog_tooltips.h"

#include <commctrl.h>

#include "ui/control_table.h"

namespace lumenfall {
namespace {

struct Tip {
    int id;
    const char* text;
};

const Tip kTips[] = {
    {kIdNextGlue, "Next glue mode"},
    {kIdInformation, "Information"},
    {kIdZoomOut, "Zoom out"},
    {kIdZoomIn, "Zoom in"},
    {kIdPresetsPage, "Presets page: an HTML page of a folder of presets"},
    {kIdDice, "Dice: random settings"},
    {kIdUndo, "Undo"},
    {kIdReset, "Reset to the plain settings"},
    {kIdEcce, "Ecce: a new noise seed"},
    {kIdLoad, "Load a settings file"},
    {kIdSave, "Save a settings file"},
    {kIdPsdExport, "PSD export: the sun as a layer of its own"},
    {kIdCentreDot, "Memory dots: click one to keep or apply; right click for their page"},
};

TTTOOLINFOA toolFor(HWND dialog, int id, const DialogScale& scale) {
    TTTOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.hwnd = dialog;
    tool.hinst = nullptr;
    tool.lpszText = const_cast<char*>(tooltipText(id));
    HWND item = GetDlgItem(dialog, id);
    // A button holds its own tool; the dialog's drawn controls let the mouse
    // through to the dialog, which holds theirs.
    if (item && controlInfo(id).kind == ControlKind::IconButton) {
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.uId = reinterpret_cast<UINT_PTR>(item);
    } else {
        // Drawn by the dialog itself: a rectangle of its client area.
        const ControlRect r = scale.rect(windowRect(id));
        tool.uFlags = TTF_SUBCLASS;
        tool.uId = UINT_PTR(id);
        tool.rect = RECT{r.left, r.top, r.left + r.width, r.top + r.height};
    }
    return tool;
}

}  // namespace

const char* tooltipText(int id) {
    for (const Tip& t : kTips)
        if (t.id == id) return t.text;
    return nullptr;
}

HWND createDialogTooltips(HWND dialog, const DialogScale& scale) {
    HWND tips = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr,
                                reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE)), nullptr);
    if (!tips) return nullptr;
    for (const Tip& t : kTips) {
        TTTOOLINFOA tool = toolFor(dialog, t.id, scale);
        SendMessageA(tips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    SendMessageA(tips, TTM_SETMAXTIPWIDTH, 0, scale.px(300));
    return tips;
}

void rescaleDialogTooltips(HWND tips, HWND dialog, const DialogScale& scale) {
    if (!tips) return;
    for (const Tip& t : kTips) {
        TTTOOLINFOA tool = toolFor(dialog, t.id, scale);
        if (!(tool.uFlags & TTF_IDISHWND)) SendMessageA(tips, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    SendMessageA(tips, TTM_SETMAXTIPWIDTH, 0, scale.px(300));
}

}  // namespace lumenfall
