#include "ui/dialog_model.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "params/defaults.h"
#include "params/random_settings.h"
#include "params/settings_commands.h"

namespace lumenfall {
namespace {

bool isCheckbox(int id) { return controlInfo(id).kind == ControlKind::Checkbox; }

int clampInt(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

}  // namespace

double readNumberText(const std::string& text) {
    const char* p = text.c_str();
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    const char* digits = p + (*p == '+' || *p == '-');
    // Decimal only: "0x40" is the number 0 followed by other text.
    if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) return 0.0;
    const double v = std::strtod(p, nullptr);
    return std::isnan(v) ? 0.0 : v;
}

double clampToSliderRange(double value) {
    if (std::isnan(value)) return kSliderMinimum;
    if (value < kSliderMinimum) return kSliderMinimum;
    if (value > kSliderMaximum) return kSliderMaximum;
    return value;
}

std::string formatBoxNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

int sliderValueAfterKey(int value, SliderKey key) {
    int v = value;
    switch (key) {
        case SliderKey::Right: case SliderKey::Down: v = value + 1; break;
        case SliderKey::Left: case SliderKey::Up: v = value - 1; break;
        case SliderKey::PageDown: v = value + 10; break;
        case SliderKey::PageUp: v = value - 10; break;
        case SliderKey::Home: v = kSliderMinimum; break;
        case SliderKey::End: v = kSliderMaximum; break;
    }
    return clampInt(v, kSliderMinimum, kSliderMaximum);
}

int sliderKnobLeft(const ControlRect& r, int value) {
    const int range = kSliderMaximum - kSliderMinimum;
    return r.left + 1 + (value - kSliderMinimum) * (r.width - 15) / (range > 1 ? range : 1);
}

int sliderValueAt(const ControlRect& r, int pointerX) {
    const int x = pointerX - 4;
    const int v = kSliderMinimum + (x - (r.left + 1)) * (kSliderMaximum - kSliderMinimum) / (r.width - 14);
    return clampInt(v, kSliderMinimum, kSliderMaximum);
}

void pickerVectorAt(const ControlRect& r, int px, int py, bool ctrl, float (&v)[3]) {
    const double dx = px - r.left - 43;
    const double dy = py - r.top - 41;
    const double r0 = std::sqrt(dx * dx + dy * dy);
    const double radius = r0 > 33 ? r0 : 33;
    double x = dx / radius, y = dy / radius;
    if (ctrl) x = y = 0;
    const double zz = 1 - x * x - y * y;
    double z = std::sqrt(zz > 0 ? zz : 0);
    const double length = std::sqrt(x * x + y * y + z * z);
    if (length != 0) {
        x /= length;
        y /= length;
        z /= length;
    }
    v[0] = float(x);
    v[1] = float(y);
    v[2] = float(z);
}

bool chooseSourceFolder(DialogPlatform& platform, char* folder) {
    if (!folder) return false;
    std::string path;
    if (!platform.chooseFile(FileDialogKind::SourceFolder, std::string(), folder, &path)) return false;
    return folderOfChosenFile(path.c_str(), folder);
}

MainDialogModel::MainDialogModel(ParameterBlock& block, DialogPlatform& platform, UndoStore& undo,
                                 MemoryDotStore* dots)
    : block_(block), platform_(platform), undo_(undo), store_(dots), preview_(block) {}

void MainDialogModel::open() {
    for (uint8_t& e : enabled_) e = 1;
    captured_ = -1;
    ended_ = false;
    copySettings(block_, opening_);
    // The controls from the block and back: values outside the controls'
    // ranges come back normalised.
    exchangeToControls();
    exchangeToBlock();
    preview_.open(platform_.previewPort());
    showZoomText();
    applyZoomEnables();
    if (preview_.on()) platform_.renderPreview();
    // After the first render, so the opening dot's thumbnail shows it.
    openMemoryDots();
}

void MainDialogModel::setEnabled(int id, bool on) {
    if (!valid(id) || bool(enabled_[id]) == on) return;
    enabled_[id] = on;
    platform_.enableControl(id, on);
    platform_.repaint(id);
}

void MainDialogModel::applyZoomEnables() {
    // Without a live preview the zoom controls have nothing to act on.
    setEnabled(kIdZoomOut, preview_.canZoomOut());
    setEnabled(kIdZoomIn, preview_.canZoomIn());
    setEnabled(kIdZoomText, preview_.canActualSize());
}

void MainDialogModel::showZoomText() { platform_.setBoxText(kIdZoomText, zoomText(preview_.zoom())); }

void MainDialogModel::writeBox(int boxId, double number) {
    // A write of our own is no typing: it must not start the typing timer.
    writingBox_ = true;
    platform_.setBoxText(boxId, formatBoxNumber(number));
    writingBox_ = false;
}

void MainDialogModel::stopTypingTimer() {
    platform_.stopTimer(kNumberBoxTimer);
    timerRunning_ = false;
}

void MainDialogModel::exchangeToControls() {
    for (int id : {kIdVortices, kIdMonopoles, kIdFlipBow}) {
        values_[id] = switchOn(block_.*checkboxField(id)) ? 1 : 0;
        platform_.setCheck(id, values_[id]);
    }
    auto colour = [&](int id) {
        std::memcpy(colours_[id], *colourField(block_, id), sizeof colours_[id]);
        platform_.repaint(id);
    };
    for (int id : {kIdSunColour, kIdFlareColour, kIdHaloColour, kIdSpikeColour}) colour(id);
    for (int id : {kIdSpikesWellPicker, kIdFlaresWellPicker}) {
        std::memcpy(vectors_[id], pickerField(block_, id), sizeof vectors_[id]);
        platform_.repaint(id);
    }
    for (int id : kExchangeSliderOrder) {
        values_[id] = clampInt(block_.*sliderField(id), kSliderMinimum, kSliderMaximum);
        writeBox(controlInfo(id).partner, values_[id]);
        platform_.repaint(id);
    }
    colour(kIdSpikeColour);
    // A list shows only its items: a mode outside them shows the nearest.
    values_[kIdGlueList] = clampInt(block_.glue, 1, kGlueModeCount);
    platform_.setListIndex(kIdGlueList, values_[kIdGlueList]);
    values_[kIdSunTypeList] = clampInt(block_.sunType, kSunNormal, kSunEclipse);
    platform_.setListIndex(kIdSunTypeList, values_[kIdSunTypeList]);
}

void MainDialogModel::exchangeToBlock() {
    for (int id : {kIdVortices, kIdMonopoles, kIdFlipBow}) block_.*checkboxField(id) = values_[id];
    auto colour = [&](int id) { std::memcpy(*colourField(block_, id), colours_[id], sizeof colours_[id]); };
    for (int id : {kIdSunColour, kIdFlareColour, kIdHaloColour, kIdSpikeColour}) colour(id);
    for (int id : {kIdSpikesWellPicker, kIdFlaresWellPicker})
        std::memcpy(pickerField(block_, id), vectors_[id], sizeof vectors_[id]);
    for (int id : kExchangeSliderOrder) {
        const int box = controlInfo(id).partner;
        const std::string text = platform_.boxText(box);
        const double number = clampToSliderRange(readNumberText(text));
        values_[id] = int(number);
        // The box shows what is kept: clamped, whole, and never stray text.
        if (text != formatBoxNumber(values_[id])) writeBox(box, values_[id]);
        block_.*sliderField(id) = values_[id];
    }
    colour(kIdSpikeColour);
    block_.glue = values_[kIdGlueList];
    block_.sunType = values_[kIdSunTypeList];
}

void MainDialogModel::refreshFromBlock() {
    exchangeToControls();
    platform_.repaint(kIdStatusLine);
    previewMarked_ = true;
}

void MainDialogModel::command(int id) {
    if (ended_) return;
    if (!statusNote_.empty()) setStatusNote(std::string());
    const ControlInfo& info = controlInfo(id);
    int dotKind = kUndoNone;
    // 1. colour buttons
    if (info.kind == ControlKind::ColourButton) {
        uint16_t chosen[3];
        std::memcpy(chosen, colours_[id], sizeof chosen);
        // A cancelled chooser changes nothing: no snapshot, no render.
        if (!platform_.chooseColour(id, labelString(info.stringNumber), chosen)) return;
        std::memcpy(colours_[id], chosen, sizeof chosen);
        platform_.repaint(id);
        previewMarked_ = true;
    }
    // 2. zoom buttons, 3. enable rules
    if ((id == kIdZoomOut || id == kIdZoomIn || id == kIdZoomText) && preview_.zoomCommand(id)) {
        showZoomText();
        previewMarked_ = true;
    }
    applyZoomEnables();
    // 4. files
    if (id == kIdSave) saveSettings();
    if (id == kIdLoad) loadSettings();
    if (info.kind == ControlKind::MemoryDot) dotKind = dotClicked(id - kIdFirstMemoryDot, press_);
    if (id == kIdCentreDot) dotKind = centreDotClicked(press_);
    // 5. the about box and the information picture
    if (id == kIdLogo) platform_.openAboutBox();
    if (id == kIdInformation) platform_.openInformation();
    if (id == kIdPsdExport) platform_.exportPsd();
    if (id == kIdPresetsPage) platform_.writePresetsPage();
    // The dialog may have been closed while a box was open.
    if (ended_) return;
    // 6. undo
    if (id == kIdUndo && undo_.undo(block_)) refreshFromBlock();
    // 7. next glue mode, dice
    if (id == kIdNextGlue) {
        exchangeToBlock();
        nextGlueMode(block_);
        exchangeToControls();
        previewMarked_ = true;
    }
    if (id == kIdDice) {
        exchangeToBlock();
        rollAllSettings(block_);
        std::memset(block_.settingsName, 0, sizeof block_.settingsName);
        std::strcpy(block_.settingsName, kRandomSettingsName);
        refreshFromBlock();
    }
    // 8. a new noise seed
    if (id == kIdEcce) {
        exchangeToBlock();
        rollSeed(block_);
        refreshFromBlock();
    }
    // 9. reset
    if (id == kIdReset) {
        resetToDefaults(block_);
        std::memset(block_.settingsName, 0, sizeof block_.settingsName);
        std::strcpy(block_.settingsName, "plain settings.q4q");
        refreshFromBlock();
    }
    if (isCheckbox(id)) previewMarked_ = true;
    // 10. undo snapshot, with the block updated from the controls
    const int kind = dotKind != kUndoNone ? dotKind : undoKindOfCommand(id);
    if (kind != kUndoNone && id != kIdLoad) {
        exchangeToBlock();
        undo_.snapshot(block_, kind);
    }
    // 11. the typing timer stops; a marked preview renders now
    stopTypingTimer();
    if (previewMarked_) {
        previewMarked_ = false;
        exchangeToBlock();
        platform_.renderPreview();
    }
    // 12. the end
    if (id == kIdOk || id == kIdCancel) endWith(id);
}

void MainDialogModel::saveSettings() {
    exchangeToBlock();
    char name[kPathFieldSize];
    proposedSaveName(block_, name);
    std::string proposal = name[0] ? std::string(name) + ".q4q" : "Lumenfall settings.q4q";
    std::string path;
    if (!platform_.chooseFile(FileDialogKind::SaveSettings, proposal, block_.settingsFolder, &path)) return;
    const std::vector<uint8_t> thumbnail = platform_.thumbnailBlock();
    saveSettingsCommand(block_, path.c_str(), thumbnail.empty() ? nullptr : &thumbnail);
    platform_.repaint(kIdStatusLine);
}

void MainDialogModel::loadSettings() {
    std::string path;
    if (!platform_.chooseFile(FileDialogKind::OpenSettings, std::string(), block_.settingsFolder, &path)) return;
    if (openSettingsCommand(block_, path.c_str(), nullptr, nullptr) == kPresetCannotOpen) return;
    refreshFromBlock();
    // The loaded settings are kept with their file.
    exchangeToBlock();
    undo_.snapshot(block_, kUndoWithFile);
}

void MainDialogModel::endWith(int endCode) {
    stopTypingTimer();
    if (captured_ >= 0) {
        platform_.releaseMouse();
        captured_ = -1;
    }
    if (endCode == kIdOk) {
        exchangeToBlock();
        result_ = 0;
    } else {
        copySettings(opening_, block_);
        result_ = -128;
    }
    platform_.closeSubDialogs();
    ended_ = true;
    endCode_ = endCode;
    platform_.endDialog(endCode);
}

void MainDialogModel::numberBoxChanged(int boxId) {
    if (writingBox_ || ended_) return;
    const int slider = controlInfo(boxId).partner;
    if (controlInfo(boxId).kind != ControlKind::NumberBox) return;
    values_[slider] = int(clampToSliderRange(readNumberText(platform_.boxText(boxId))));
    platform_.repaint(slider);
    platform_.startTimer(kNumberBoxTimer, kNumberBoxTimerPeriod);
    timerRunning_ = true;
}

void MainDialogModel::checkboxClicked(int checkboxId, int checked) {
    if (!isCheckbox(checkboxId)) return;
    values_[checkboxId] = checked ? 1 : 0;
    command(checkboxId);
}

void MainDialogModel::listChanged(int listId, int index) {
    const ControlKind kind = controlInfo(listId).kind;
    if (ended_ || (kind != ControlKind::GlueList && kind != ControlKind::SunTypeList)) return;
    const int count = kind == ControlKind::GlueList ? kGlueModeCount : kSunEclipse;
    if (index < 1 || index > count) return;
    values_[listId] = index;
    exchangeToBlock();
    undo_.snapshot(block_, kUndoMemory);
    platform_.renderPreview();
}

void MainDialogModel::timerFired(int timerId) {
    if (timerId != kNumberBoxTimer || ended_) return;
    stopTypingTimer();
    exchangeToBlock();
    undo_.snapshot(block_, undoKindOfCommand(kPseudoCommandPreviewEdit));
    platform_.renderPreview();
}

void MainDialogModel::numberBoxLeft(int boxId) {
    if (ended_ || controlInfo(boxId).kind != ControlKind::NumberBox) return;
    const int value = values_[controlInfo(boxId).partner];
    if (platform_.boxText(boxId) != formatBoxNumber(value)) writeBox(boxId, value);
}

}  // namespace lumenfall
