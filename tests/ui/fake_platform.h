// A DialogPlatform that keeps number-box texts, records every request in
// order, and answers colour and file choosers from preset replies; and undo
// files in memory.
#ifndef LUMENFALL_TESTS_UI_FAKE_PLATFORM_H
#define LUMENFALL_TESTS_UI_FAKE_PLATFORM_H

#include <map>
#include <string>
#include <vector>

#include "ui/dialog_model.h"

namespace lumenfall {

// Undo files kept in memory; `unwritable` makes every save fail.
class MemoryUndoFiles : public UndoFiles {
public:
    int saves = 0;
    bool unwritable = false;
    ParameterBlock files[2]{};
    bool save(int slot, const ParameterBlock& block) override {
        ++saves;
        if (unwritable) return false;
        copySettings(block, files[slot]);
        return true;
    }
    bool load(int slot, ParameterBlock& block) override {
        copySettings(files[slot], block);
        return true;
    }
};

class FakePlatform : public DialogPlatform {
public:
    std::map<int, std::string> boxes;
    std::vector<std::string> calls;  // "text 86", "check 48", "list 73", "start 8064", ...
    int renders = 0;
    int timerStarts = 0;
    bool colourConfirmed = false;
    uint16_t colourReply[3] = {0, 0, 0};
    std::string filePath;  // empty: the file dialog is cancelled
    MainDialogModel* model = nullptr;  // receives the box changes our writes raise

    void setBoxText(int id, const std::string& text) override {
        boxes[id] = text;
        calls.push_back("text " + std::to_string(id));
        if (model) model->numberBoxChanged(id);  // as a real edit control notifies
    }
    std::string boxText(int id) override { return boxes[id]; }
    void setCheck(int id, int) override { calls.push_back("check " + std::to_string(id)); }
    void setListIndex(int id, int) override { calls.push_back("list " + std::to_string(id)); }
    void repaint(int id) override { calls.push_back("paint " + std::to_string(id)); }
    void enableControl(int id, bool on) override { calls.push_back((on ? "enable " : "disable ") + std::to_string(id)); }
    void startTimer(int id, int ms) override {
        ++timerStarts;
        calls.push_back("start " + std::to_string(id) + " " + std::to_string(ms));
    }
    void stopTimer(int) override {}
    void captureMouse() override { calls.push_back("capture"); }
    void releaseMouse() override { calls.push_back("release"); }
    void postMouseMove(int x, int y, bool ctrl) override {
        calls.push_back("move " + std::to_string(x) + "," + std::to_string(y) + (ctrl ? " ctrl" : ""));
    }
    void postCommand(int id) override { calls.push_back("command " + std::to_string(id)); }
    bool chooseColour(int, const char* prompt, uint16_t (&colour)[3]) override {
        calls.push_back(std::string("colour ") + prompt);
        if (colourConfirmed)
            for (int c = 0; c < 3; ++c) colour[c] = colourReply[c];
        return colourConfirmed;
    }
    bool chooseFile(FileDialogKind, const std::string& proposed, const char*, std::string* path) override {
        calls.push_back("file " + proposed);
        *path = filePath;
        return !filePath.empty();
    }
    void openAboutBox() override { calls.push_back("about"); }
    void openInformation() override { calls.push_back("information"); }
    void closeSubDialogs() override { calls.push_back("close"); }
    void renderPreview() override { ++renders; }
    std::vector<uint8_t> thumbnailBlock() override { return {}; }
    bool showDotThumbnail(int dot) override {
        calls.push_back("show " + std::to_string(dot));
        return true;
    }
    void clearDotThumbnail() override { calls.push_back("clear"); }
    void writeMemoryDotsPage(const std::vector<int>& dots) override {
        std::string c = "dots page";
        for (int d : dots) c += " " + std::to_string(d);
        calls.push_back(c);
    }
    void endDialog(int code) override { calls.push_back("end " + std::to_string(code)); }

    int count(const std::string& call) const {
        int n = 0;
        for (const std::string& c : calls) n += c == call;
        return n;
    }
};

}  // namespace lumenfall

#endif
