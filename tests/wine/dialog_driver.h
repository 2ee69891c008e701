// Drives a modal dialog of this process from a second thread, for tests
// under wine and Xvfb. Windows are looked up by class "#32770" and by the
// owning process id, so parallel tests on one display never see each
// other's dialogs.
#ifndef LUMENFALL_TESTS_WINE_DIALOG_DRIVER_H
#define LUMENFALL_TESTS_WINE_DIALOG_DRIVER_H

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

namespace lumenfall_test {

// Exit code that ctest reports as a skipped test.
constexpr int kSkipped = 77;

inline bool haveDisplay() {
    const char* display = std::getenv("DISPLAY");
    return display && *display;
}

struct FindState {
    DWORD pid;
    HWND found;
};

inline BOOL CALLBACK findOwnDialog(HWND window, LPARAM data) {
    FindState* state = reinterpret_cast<FindState*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char cls[32] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (pid == state->pid && IsWindowVisible(window) && std::string(cls) == "#32770") {
        state->found = window;
        return FALSE;
    }
    return TRUE;
}

// Waits up to timeoutMs for a visible dialog of this process.
inline HWND waitForOwnDialog(DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        FindState state{GetCurrentProcessId(), nullptr};
        EnumWindows(findOwnDialog, reinterpret_cast<LPARAM>(&state));
        if (state.found) return state.found;
        Sleep(20);
    }
    return nullptr;
}

// Waits up to timeoutMs for a window to be destroyed.
inline bool waitClosed(HWND window, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(10);
    }
    return true;
}

inline std::string windowText(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// Runs `drive` on a second thread once the dialog is up (it receives the
// dialog, or null on time-out) while `show` runs the modal dialog on this
// thread. A dialog left open by a failed check is closed, so the test ends.
class DialogDriver {
public:
    explicit DialogDriver(std::function<void(HWND)> drive) : drive_(std::move(drive)) {}

    void run(const std::function<void()>& show) {
        std::thread driver([this] {
            HWND dialog = waitForOwnDialog(15000);
            seen_ = dialog != nullptr;
            drive_(dialog);
            // Whatever the checks did, make sure the modal loop ends.
            for (int i = 0; i < 100 && dialog && IsWindow(dialog); ++i) {
                if (i == 50) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
                Sleep(20);
            }
        });
        show();
        driver.join();
    }

    bool sawDialog() const { return seen_; }

private:
    std::function<void(HWND)> drive_;
    bool seen_ = false;
};

// Counts failed checks and prints each one.
struct Checks {
    int failed = 0;
    void expect(bool ok, const std::string& what) {
        if (!ok) {
            ++failed;
            std::printf("FAILED: %s\n", what.c_str());
        } else {
            std::printf("ok: %s\n", what.c_str());
        }
        std::fflush(stdout);
    }
};

}  // namespace lumenfall_test

#endif
