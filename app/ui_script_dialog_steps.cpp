// Script commands for the dialogs the main dialog opens: files, message boxes, progress.
#include "ui_script_runner.h"

#ifdef _WIN32
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <commctrl.h>

#include "ui/dialog_scale.h"
#include "ui/win32/dialog_ids.h"
#endif

#ifdef _WIN32
namespace lumenfall {
namespace dialog_script {

bool Runner::dialogStep(const std::string& verb, const std::vector<std::string>& a, const std::string& line) {
    auto arg = [&](size_t i) { return i < a.size() ? std::atoi(a[i].c_str()) : 0; };
    if (verb == "file-name") {
        HWND files = findDialog(Wanted::File);
        HWND field = files ? GetDlgItem(files, 0x47C) : nullptr;  // the name box (cmb13)
        if (files && !field) field = GetDlgItem(files, 0x480);   // or its plain edit (edt1)
        if (!field) {
            fail("no file dialog: " + line);
            return true;
        }
        say("file dialog " + windowText(files));
        std::string name = a.size() > 1 ? a[1] : "";
        for (char& c : name)
            if (c == '/') c = '\\';
        SetWindowTextA(field, name.c_str());
    } else if (verb == "file-select") {
        HWND files = findDialog(Wanted::File);
        HWND list = files ? findChild(files, 0, "SysListView32") : nullptr;
        if (!list) {
            fail("no file list: " + line);
            return true;
        }
        LVITEMA lv{};
        lv.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        lv.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, WPARAM(arg(1)), reinterpret_cast<LPARAM>(&lv));
        Sleep(300);
    } else if (verb == "file-ok") {
        HWND files = findDialog(Wanted::File);
        if (!files) {
            fail("no file dialog: " + line);
            return true;
        }
        PostMessageA(files, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(files, IDOK)));
        Sleep(300);
    } else if (verb == "answer-yes" || verb == "answer-no") {
        HWND box = findDialog(Wanted::Message);
        if (!box) {
            fail("no message box: " + line);
            return true;
        }
        say("message box " + windowText(box));
        PostMessageA(box, WM_COMMAND, verb == "answer-yes" ? IDYES : IDNO, 0);
        Sleep(300);
    } else if (verb == "other-ok" || verb == "other-cancel") {
        HWND other = findDialog(Wanted::Other);
        if (!other) {
            fail("no other dialog: " + line);
            return true;
        }
        say("other dialog " + windowText(other));
        PostMessageA(other, WM_COMMAND, verb == "other-ok" ? IDOK : IDCANCEL, 0);
        Sleep(300);
    } else if (verb == "progress" || verb == "progress-cancel") {
        watchProgress(verb == "progress-cancel", arg(1), line);
    } else if (verb == "progress-shown") {
        watchProgressShown(line);
    } else if (verb == "message-ok") {
        HWND box = findDialog(Wanted::Message);
        HWND text = box ? GetDlgItem(box, 0xFFFF) : nullptr;  // a message box's text
        if (!text) {
            fail("no message box: " + line);
            return true;
        }
        const std::string shown = windowText(text);
        say("message " + shown);
        if (a.size() < 2 || shown.find(a[1]) == std::string::npos) fail(line);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        Sleep(300);
    } else {
        return false;
    }
    return true;
}

// The PSD export's progress dialog, its lower text read every
// millisecond until it closes. `progress MIN`: the texts go from 0% to
// 100% without a step back and show at least MIN values.
// `progress-cancel PERCENT`: Escape once the text reaches PERCENT.
// `progress-shown`: the progress dialog's percent as the screen shows it
// (not its stored text) changes while the export runs: a picture at the
// first text and one once the text passes 40%, before 100%.
void Runner::watchProgressShown(const std::string& line) {
    HWND box = findDialog(Wanted::Progress);
    HWND lower = box ? GetDlgItem(box, LF_PROGRESS_PERCENT) : nullptr;
    if (!lower) {
        fail("no progress dialog: " + line);
        return;
    }
    auto shot = [&](const char* name, std::vector<uint16_t>* samples) {
        RECT r{};
        GetWindowRect(lower, &r);
        const std::string dir = std::getenv("LF_UI_DIR") ? std::getenv("LF_UI_DIR") : ".";
        if (!picture(dir + "/" + name, r.left, r.top, r.right - r.left, r.bottom - r.top, false)) return false;
        const SampleStore& taken = s_.shot.samples;
        for (uint16_t v : taken) samples->push_back(v);
        return true;
    };
    std::vector<uint16_t> first, later;
    const ULONGLONG start = GetTickCount64();
    std::string seenLater;
    if (!shot("progress_first.png", &first)) return;
    while (IsWindow(box) && GetTickCount64() - start < 170000) {
        const std::string text = storedText(lower);
        const int percent = std::atoi(text.c_str());
        if (!text.empty() && text.back() == '%' && percent >= 40 && percent < 100) {
            seenLater = text;
            if (!shot("progress_later.png", &later)) return;
            break;
        }
        Sleep(1);
    }
    say("progress shown at " + seenLater);
    if (seenLater.empty()) fail("the export passed 40% unseen: " + line);
    else if (first == later) fail("the progress picture at " + seenLater + " is the first one: " + line);
    for (int i = 0; i < 3000 && IsWindow(box); ++i) Sleep(50);
}

void Runner::watchProgress(bool cancel, int value, const std::string& line) {
    HWND box = findDialog(Wanted::Progress);
    HWND lower = box ? GetDlgItem(box, LF_PROGRESS_PERCENT) : nullptr;
    if (!lower) {
        fail("no progress dialog: " + line);
        return;
    }
    std::vector<std::string> seen;
    bool sent = false;
    const ULONGLONG start = GetTickCount64();
    while (IsWindow(box) && GetTickCount64() - start < 170000) {
        const std::string text = storedText(lower);
        if (!text.empty() && (seen.empty() || seen.back() != text)) seen.push_back(text);
        if (cancel && !sent && !text.empty() && text.back() == '%' && std::atoi(text.c_str()) >= value) {
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            sent = true;
        }
        Sleep(1);
    }
    std::string all;
    for (const std::string& t : seen) all += " " + t;
    say("progress" + all);
    if (IsWindow(box)) {
        fail("the progress dialog stayed open: " + line);
        return;
    }
    if (cancel) {
        if (!sent) fail("the export ended before " + std::to_string(value) + "%: " + line);
        return;
    }
    int previous = -1;
    for (const std::string& t : seen) {
        char sign = 0;
        int percent = -1;
        if (std::sscanf(t.c_str(), "%d%c", &percent, &sign) != 2 || sign != '%' ||
            t != std::to_string(percent) + "%" || percent < previous) {
            fail("progress text " + t + " after " + std::to_string(previous) + "%: " + line);
            return;
        }
        previous = percent;
    }
    if (seen.size() < size_t(value) || seen.front() != "0%" || seen.back() != "100%")
        fail(std::to_string(seen.size()) + " progress texts: " + line);
}

}  // namespace dialog_script
}  // namespace lumenfall
#endif
