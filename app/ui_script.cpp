#include "ui_script.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "ui_script_runner.h"
#include "ui_script_state.h"

namespace lumenfall {

std::vector<std::string> scriptWords(const std::string& rawLine, size_t keep) {
    std::string line;
    for (size_t i = 0; i < rawLine.size(); ++i) {
        if (rawLine[i] == '$' && i + 1 < rawLine.size() && rawLine[i + 1] == '{') {
            const size_t end = rawLine.find('}', i);
            if (end != std::string::npos) {
                const char* value = std::getenv(rawLine.substr(i + 2, end - i - 2).c_str());
                if (value) line += value;
                i = end;
                continue;
            }
        }
        line += rawLine[i];
    }
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        if (i >= line.size() || line[i] == '#') break;
        if (words.size() == keep) {
            size_t end = line.find_last_not_of(" \t\r");
            words.push_back(line.substr(i, end - i + 1));
            break;
        }
        size_t end = i;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r') ++end;
        words.push_back(line.substr(i, end - i));
        i = end;
    }
    return words;
}

UiScript::UiScript() : state_(new State) {}
UiScript::~UiScript() { finish(); }

bool UiScript::load(const std::string& path, std::string* error) {
#ifndef _WIN32
    (void)path;
    *error = "--ui-script drives the Windows dialog: run the Windows build (lumenfall.exe) under wine";
    return false;
#else
    std::ifstream in(path);
    if (!in) {
        *error = "cannot read the script " + path;
        return false;
    }
    std::string line;
    while (std::getline(in, line)) state_->lines.push_back(line);
    return true;
#endif
}

#ifndef _WIN32
void UiScript::start() {}
int UiScript::finish() { return 0; }
#else
namespace {

DWORD WINAPI scriptThread(LPVOID context) {
    dialog_script::Runner(*static_cast<UiScript::State*>(context)).run();
    return 0;
}

}  // namespace

void UiScript::start() {
    // The plug-in loads the common controls and dialogs when its dialog
    // opens. Under wine, loading them while this thread makes its first
    // window calls can deadlock on the loader lock, so they are loaded here,
    // before the thread starts, as an editor has them loaded anyway.
    LoadLibraryA("comctl32.dll");
    LoadLibraryA("comdlg32.dll");
    if (!state_->thread) state_->thread = CreateThread(nullptr, 0, scriptThread, state_.get(), 0, nullptr);
}

int UiScript::finish() {
    if (!state_ || !state_->thread) return 0;
    WaitForSingleObject(state_->thread, INFINITE);
    CloseHandle(state_->thread);
    state_->thread = nullptr;
    if (state_->failures) return 1;
    return state_->pictureMissing ? 77 : 0;
}
#endif

}  // namespace lumenfall
