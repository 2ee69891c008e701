// The memory dots of the main dialog: the opening, hovering, the clicks on
// the dots and on the centre dot, and their painting.
#include "ui/memory_dots.h"

#include <cstdio>
#include <cstring>

#include "params/plugin_files.h"
#include "ui/dialog_model.h"

namespace lumenfall {

int32_t MemoryDotStore::save(int dot, const ParameterBlock& block, const std::vector<uint8_t>* thumbnailBlock) {
    return saveMemoryDotFile(dot, block, thumbnailBlock);
}

int32_t MemoryDotStore::load(int dot, ParameterBlock& block) { return loadMemoryDotFile(dot, block); }

int memoryDotPicture(int16_t state, bool kept, bool pressed) {
    int picture = 0;
    if (state == kDotFilled) picture = kept ? 2 : 1;
    if (state == kDotCurrent) picture = kept ? 4 : 3;
    return picture + (pressed ? 5 : 0);
}

namespace {
bool validDot(int dot) { return dot >= 0 && dot < kMemoryDots; }
}  // namespace

void MainDialogModel::openMemoryDots() {
    dots_ = MemoryDotTable{};
    if (!store_) return;
    for (int k = 0; k < kMemoryDots; ++k) {
        if (store_->kept[k] != 0) dots_.state[k] = kDotFilled;
        platform_.repaint(kIdFirstMemoryDot + k);
    }
    // The settings the dialog opened with always go into the first free dot,
    // not kept: the next opening reuses it.
    for (int k = 0; k < kMemoryDots; ++k) {
        if (store_->kept[k] != 0) continue;
        storeDot(k);
        break;
    }
}

bool MainDialogModel::storeDot(int dot) {
    exchangeToBlock();
    const std::vector<uint8_t> thumbnail = platform_.thumbnailBlock();
    if (store_->save(dot, block_, thumbnail.empty() ? nullptr : &thumbnail) != 0) {
        // Nothing on disk: the dot stays empty rather than promise settings.
        store_->kept[dot] = 0;
        dots_.state[dot] = kDotEmpty;
        platform_.repaint(kIdFirstMemoryDot + dot);
        char note[64];
        std::snprintf(note, sizeof note, "Cannot write memory dot %d", dot + 1);
        setStatusNote(note);
        return false;
    }
    makeCurrentDot(dot);
    showDot(dot);
    return true;
}

void MainDialogModel::applyDot(int dot) {
    // A file that cannot be read leaves the settings as they are.
    store_->load(dot, block_);
    makeCurrentDot(dot);
    refreshFromBlock();
}

void MainDialogModel::makeCurrentDot(int dot) {
    const int previous = dots_.current;
    if (validDot(previous) && previous != dot && dots_.state[previous] == kDotCurrent) {
        dots_.state[previous] = kDotFilled;
        platform_.repaint(kIdFirstMemoryDot + previous);
    }
    dots_.state[dot] = kDotCurrent;
    dots_.current = dot;
    platform_.repaint(kIdFirstMemoryDot + dot);
}

void MainDialogModel::showDot(int dot) {
    // A thumbnail that does not decode leaves the centre empty; the dot can
    // still be applied from there.
    platform_.showDotThumbnail(dot);
    dots_.shown = dots_.selected = dot;
    platform_.repaint(kIdCentreDot);
}

void MainDialogModel::hideDot() {
    platform_.clearDotThumbnail();
    dots_.shown = dots_.selected = -1;
    platform_.repaint(kIdCentreDot);
}

void MainDialogModel::hoverDot(int dot) {
    if (!store_ || !validDot(dot)) return;
    if (dots_.state[dot] == kDotEmpty) {
        if (dots_.shown != -1) hideDot();
    } else if (dots_.shown != dot) {
        showDot(dot);
    }
}

int MainDialogModel::dotClicked(int dot, DotClick click) {
    if (!store_ || !validDot(dot)) return kUndoNone;
    if (dots_.state[dot] == kDotEmpty) {
        store_->kept[dot] = click == DotClick::CtrlLeft ? 0 : 1;
        storeDot(dot);
        return kUndoNone;
    }
    switch (click) {
        case DotClick::Right:
            dots_.state[dot] = kDotEmpty;
            store_->kept[dot] = 0;
            if (dots_.current == dot) dots_.current = -1;
            platform_.repaint(kIdFirstMemoryDot + dot);
            // The centre must not go on offering an emptied dot.
            hideDot();
            return kUndoNone;
        case DotClick::CtrlLeft:
            store_->kept[dot] = 0;
            platform_.repaint(kIdFirstMemoryDot + dot);
            return kUndoNone;
        case DotClick::Left:
            applyDot(dot);
            return kUndoWithFile;
    }
    return kUndoNone;
}

int MainDialogModel::centreDotClicked(DotClick click) {
    if (!store_) return kUndoNone;
    switch (click) {
        case DotClick::Left:
            if (!validDot(dots_.selected)) return kUndoNone;
            applyDot(dots_.selected);
            return kUndoWithFile;
        case DotClick::Right: {
            std::vector<int> filled;
            for (int k = 0; k < kMemoryDots; ++k)
                if (dots_.state[k] != kDotEmpty) filled.push_back(k);
            exchangeToBlock();
            platform_.writeMemoryDotsPage(filled);
            return kUndoNone;
        }
        case DotClick::CtrlLeft:
            refreshPresetFolder();
            return kUndoNone;
    }
    return kUndoNone;
}

void MainDialogModel::setStatusNote(const std::string& note) {
    statusNote_ = note;
    platform_.repaint(kIdStatusLine);
}

std::string MainDialogModel::statusText() const {
    if (!statusNote_.empty()) return statusNote_;
    char name[kPathFieldSize + 1];
    std::memcpy(name, block_.settingsName, kPathFieldSize);
    name[kPathFieldSize] = 0;
    return name;
}

void MainDialogModel::paintDot(int id, Painter& painter) const {
    const ControlRect& r = controlInfo(id).rect;
    painter.restoreBackground({r.left, r.top, r.left + r.width, r.top + r.height});
    const int dot = id - kIdFirstMemoryDot;
    const bool kept = store_ && store_->kept[dot] != 0;
    const int picture = memoryDotPicture(dots_.state[dot], kept, captured_ == id);
    // The 8 x 8 picture centred in the 12 x 12 cell.
    painter.drawArtworkPart(Artwork::MemoryDots, r.left + (r.width - kDotPictureSide) / 2,
                            r.top + (r.height - kDotPictureSide) / 2, 0, picture * kDotPictureSide, kDotPictureSide,
                            kDotPictureSide);
}

void MainDialogModel::paintCentreDot(Painter& painter) const {
    const ControlRect& r = controlInfo(kIdCentreDot).rect;
    painter.restoreBackground({r.left, r.top, r.left + r.width, r.top + r.height});
    painter.drawArtwork(Artwork::CentreFrame, r.left, r.top);
    if (dots_.shown >= 0) painter.drawCentreThumbnail(r.left + kCentreThumbnailInset, r.top + kCentreThumbnailInset);
}

}  // namespace lumenfall
