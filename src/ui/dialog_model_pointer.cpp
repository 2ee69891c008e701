// The pointer and the keys on the dialog's own controls: slider steps and
// drags, picker moves, dot clicks, the wheel, and what a press hits.
#include <cmath>

#include "ui/dialog_model.h"

namespace lumenfall {

void MainDialogModel::stepSlider(int id, int value) {
    if (ended_ || captured_ >= 0 || controlInfo(id).kind != ControlKind::Slider || !enabled_[id]) return;
    if (value == values_[id]) return;
    values_[id] = value;
    platform_.repaint(id);
    writeBox(controlInfo(id).partner, value);
    stopTypingTimer();
    exchangeToBlock();
    undo_.snapshot(block_, undoKindOfCommand(id));
    platform_.renderPreview();
}

void MainDialogModel::sliderKey(int sliderId, SliderKey key) {
    if (!valid(sliderId)) return;
    stepSlider(sliderId, sliderValueAfterKey(values_[sliderId], key));
}

void MainDialogModel::wheel(int id, int notches) {
    const int slider = controlInfo(id).kind == ControlKind::NumberBox ? controlInfo(id).partner : id;
    if (!valid(slider) || controlInfo(slider).kind != ControlKind::Slider || notches == 0) return;
    const long long target = (long long)values_[slider] + notches;
    stepSlider(slider, int(target < kSliderMinimum ? kSliderMinimum : target > kSliderMaximum ? kSliderMaximum : target));
}

void MainDialogModel::pickerKey(int pickerId, int dx, int dy, bool centre) {
    if (ended_ || captured_ >= 0 || controlInfo(pickerId).kind != ControlKind::Picker || !enabled_[pickerId]) return;
    const ControlRect& r = controlInfo(pickerId).rect;
    const float* v = vectors_[pickerId];
    // The pointer offset that gives the vector now (its handle), moved.
    auto offset = [](float component) {
        const double o = 33.0 * double(component);
        return std::isnan(o) ? 0 : int(std::lround(o < -100 ? -100 : o > 100 ? 100 : o));
    };
    const int x = r.left + 43 + offset(v[0]) + dx, y = r.top + 41 + offset(v[1]) + dy;
    pickerVectorAt(r, x, y, centre, vectors_[pickerId]);
    platform_.repaint(pickerId);
    exchangeToBlock();
    undo_.snapshot(block_, undoKindOfCommand(pickerId));
    platform_.renderPreview();
}

void MainDialogModel::dotKey(int id, DotClick click) {
    const ControlKind kind = controlInfo(id).kind;
    if (ended_ || captured_ >= 0 || (kind != ControlKind::MemoryDot && kind != ControlKind::CentreDot)) return;
    press_ = click;
    command(id);
    platform_.repaint(id);
}

int MainDialogModel::hitTest(int x, int y) const {
    for (int id = 0; id < kControlCount; ++id) {
        switch (controlInfo(id).kind) {
            case ControlKind::Slider:
            case ControlKind::Picker:
            case ControlKind::Preview:
            case ControlKind::Logo:
            case ControlKind::MemoryDot:
            case ControlKind::CentreDot:
                if (enabled_[id] && windowRect(id).contains(x, y)) return id;
                break;
            default:
                break;
        }
    }
    return -1;
}

void MainDialogModel::mousePress(int x, int y, bool ctrl, bool rightButton) {
    if (ended_ || captured_ >= 0) return;
    const int id = hitTest(x, y);
    if (id < 0) return;
    captured_ = id;
    press_ = rightButton ? DotClick::Right : ctrl ? DotClick::CtrlLeft : DotClick::Left;
    const ControlKind kind = controlInfo(id).kind;
    if (kind == ControlKind::MemoryDot || kind == ControlKind::CentreDot) platform_.repaint(id);  // pressed
    platform_.captureMouse();
    if (id == kIdPreview) preview_.press(x, y);
    moved_ = false;
    hasPrevious_ = false;
    // The press acts as the first move.
    platform_.postMouseMove(x, y, ctrl);
}

void MainDialogModel::mouseMove(int x, int y, bool ctrl) {
    if (captured_ < 0) {
        const int id = ended_ ? -1 : hitTest(x, y);
        if (id >= kIdFirstMemoryDot && id <= kIdLastMemoryDot) hoverDot(id - kIdFirstMemoryDot);
        return;
    }
    switch (controlInfo(captured_).kind) {
        case ControlKind::Slider: sliderDrag(captured_, x, y); break;
        case ControlKind::Picker: pickerDrag(captured_, x, y, ctrl); break;
        case ControlKind::Preview:
            if (preview_.move(x, y)) platform_.showPreviewRows();
            // A refused region switched the preview off.
            if (!preview_.on()) applyZoomEnables();
            break;
        default: break;
    }
    moved_ = true;
    hasPrevious_ = true;
    previousX_ = x;
    previousY_ = y;
    previousCtrl_ = ctrl;
}

void MainDialogModel::sliderDrag(int id, int x, int y) {
    if (hasPrevious_ && x == previousX_ && y == previousY_) return;
    const int v = sliderValueAt(controlInfo(id).rect, x);
    values_[id] = v;
    platform_.repaint(id);
    writeBox(controlInfo(id).partner, v);
    stopTypingTimer();
}

void MainDialogModel::pickerDrag(int id, int x, int y, bool ctrl) {
    if (hasPrevious_ && x == previousX_ && y == previousY_ && ctrl == previousCtrl_) return;
    pickerVectorAt(controlInfo(id).rect, x, y, ctrl, vectors_[id]);
    platform_.repaint(id);
}

void MainDialogModel::mouseRelease() {
    if (captured_ < 0) return;
    const int id = captured_;
    platform_.releaseMouse();
    const ControlKind kind = controlInfo(id).kind;
    if (kind == ControlKind::Preview) {
        // One click, one placement, one snapshot, one render; a pan renders only.
        captured_ = -1;
        if (preview_.release()) {
            exchangeToBlock();
            undo_.snapshot(block_, undoKindOfCommand(kPseudoCommandPreviewEdit));
        }
        platform_.renderPreview();
        return;
    }
    const bool dot = kind == ControlKind::MemoryDot || kind == ControlKind::CentreDot;
    if (kind == ControlKind::Logo || dot) platform_.postCommand(id);
    captured_ = -1;
    // A dot's command does its own snapshot and render after its effect.
    if (dot) {
        platform_.repaint(id);
        return;
    }
    exchangeToBlock();
    undo_.snapshot(block_, undoKindOfCommand(id));
    platform_.renderPreview();
}

}  // namespace lumenfall
