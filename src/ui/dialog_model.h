// The main dialog's behaviour, without a window system: per-control state,
// the value exchange with the parameter block, the command steps, the
// number boxes and their typing timer, the mouse with capture, the drags of
// sliders and pickers, hit testing, the enable rules, and the painting of
// the dialog's own controls through a small painter. The Win32 dialog
// (ui/win32) forwards its messages here and carries out what the model asks
// of its DialogPlatform.
#ifndef LUMENFALL_UI_DIALOG_MODEL_H
#define LUMENFALL_UI_DIALOG_MODEL_H

#include <cstdint>
#include <string>
#include <vector>

#include "params/parameter_block.h"
#include "ui/control_table.h"
#include "ui/memory_dots.h"
#include "ui/preview_model.h"
#include "ui/undo_store.h"

namespace lumenfall {

struct Rgb8 {
    uint8_t r, g, b;
    bool operator==(const Rgb8& o) const { return r == o.r && g == o.g && b == o.b; }
};

// Right and bottom exclusive.
struct PaintRect {
    int left, top, right, bottom;
};

enum class Artwork { TrackFirst, TrackSecond, Knob, WellEnabled, WellDisabled, MemoryDots, CentreFrame };
enum class TextAlign { Left, Centre, Right };

// Keys a focused slider answers, as a Windows trackbar does: Right and Down
// step up by one, Left and Up down by one, Page Down and Page Up by ten,
// Home and End go to the ends.
enum class SliderKey { Left, Right, Up, Down, PageUp, PageDown, Home, End };

// The value a slider key leads to from `value`, within the slider range.
int sliderValueAfterKey(int value, SliderKey key);

class Painter {
public:
    virtual ~Painter() = default;
    virtual void restoreBackground(const PaintRect& r) = 0;
    // False when the bitmap is not loaded (nothing is drawn then).
    virtual bool hasArtwork(Artwork art) = 0;
    virtual void drawArtwork(Artwork art, int left, int top) = 0;
    // Part of a bitmap: width x height from (sourceX, sourceY).
    virtual void drawArtworkPart(Artwork art, int left, int top, int sourceX, int sourceY, int width, int height) {
        (void)art, (void)left, (void)top, (void)sourceX, (void)sourceY, (void)width, (void)height;
    }
    // The centre dot's thumbnail (88 x 88) with its top-left at (left, top),
    // when the dialog holds one.
    virtual void drawCentreThumbnail(int left, int top) { (void)left, (void)top; }
    virtual void fill(const PaintRect& r, Rgb8 colour) = 0;
    virtual void frame(const PaintRect& r, Rgb8 colour) = 0;
    // Both end points drawn.
    virtual void line(int x0, int y0, int x1, int y1, Rgb8 colour) = 0;
    // One line of Arial -11 px text placed in `r` by `align` (vertically
    // centred), on a transparent background; clipped to `r` when `clip`,
    // else a longer text runs past the rectangle's far side.
    virtual void text(const PaintRect& r, const char* text, TextAlign align, Rgb8 colour, bool clip) = 0;
    virtual void buttonFace(const PaintRect& r, bool raised) = 0;
    virtual void focusRect(const PaintRect& r) = 0;
};

// The settings files of Save and Load, and the folder prompt: the user
// picks any file, and its folder is what counts; and the files of the PSD
// export and of the HTML pages.
enum class FileDialogKind { SaveSettings, OpenSettings, SourceFolder, SavePsd, SavePage };

// What the model asks of the window system and of the plug-in around it.
class DialogPlatform {
public:
    virtual ~DialogPlatform() = default;
    virtual void setBoxText(int boxId, const std::string& text) = 0;
    virtual std::string boxText(int boxId) = 0;
    virtual void setCheck(int checkboxId, int checked) = 0;
    virtual void setListIndex(int listId, int index) = 0;  // 1-based
    virtual void repaint(int id) = 0;
    virtual void enableControl(int id, bool enabled) = 0;
    virtual void startTimer(int timerId, int milliseconds) = 0;
    virtual void stopTimer(int timerId) = 0;
    virtual void captureMouse() = 0;
    virtual void releaseMouse() = 0;
    virtual void postMouseMove(int x, int y, bool ctrl) = 0;
    virtual void postCommand(int id) = 0;
    // Colour chooser with the button's prompt; true when the user confirmed
    // (the colour then holds the choice, 8-bit values shifted left by 8).
    virtual bool chooseColour(int buttonId, const char* prompt, uint16_t (&colour)[3]) = 0;
    // The system file dialog; true with the chosen path.
    virtual bool chooseFile(FileDialogKind kind, const std::string& proposedName, const char* folder,
                            std::string* path) = 0;
    virtual void openAboutBox() = 0;
    virtual void openInformation() = 0;
    virtual void closeSubDialogs() = 0;
    virtual void renderPreview() = 0;
    // The live preview's way to the host (null: no preview), and a repaint
    // of the viewport without its white fill (after a pan step).
    virtual PreviewPort* previewPort() { return nullptr; }
    virtual void showPreviewRows() {}
    // The exports the dialog starts: the layered PSD file (button 117), the
    // presets page (button 150) and the memory-dots page (a right click on
    // the centre dot, with the filled dots' numbers 0..24 in order). Each
    // asks for its files, runs, and reports a failure itself.
    virtual void exportPsd() {}
    virtual void writePresetsPage() {}
    virtual void writeMemoryDotsPage(const std::vector<int>& filledDots) { (void)filledDots; }
    // The thumbnail block a saved preset or a memory dot carries, made from
    // the current preview (empty: none).
    virtual std::vector<uint8_t> thumbnailBlock() = 0;
    // The centre dot's picture: dot N's stored thumbnail decoded (false, and
    // no picture, when it has none that decodes), or no picture.
    virtual bool showDotThumbnail(int dot) { (void)dot; return false; }
    virtual void clearDotThumbnail() {}
    // The wait cursor over the dialog while a long job runs.
    virtual void setWaitCursor(bool on) { (void)on; }
    virtual void endDialog(int endCode) = 0;
};

// A number box's text as a decimal number: no number reads as 0, NaN as 0,
// a hexadecimal "0x.." as its leading 0; infinities stay for the clamp.
double readNumberText(const std::string& text);
// The slider range 0..100 applied to a number.
double clampToSliderRange(double value);
// "%g".
std::string formatBoxNumber(double value);

// Knob left edge and the value under a pointer x, for a slider rectangle.
int sliderKnobLeft(const ControlRect& r, int value);
int sliderValueAt(const ControlRect& r, int pointerX);
// The picker's vector for a pointer position.
void pickerVectorAt(const ControlRect& r, int x, int y, bool ctrl, float (&v)[3]);

// The folder prompt: with a folder string (260 bytes), asks for any file
// starting in that folder and stores the chosen file's folder, ending in a
// separator. False when there is no folder string or the user cancelled.
bool chooseSourceFolder(DialogPlatform& platform, char* folder);

class MainDialogModel {
public:
    // Without a memory-dot store the dots stay empty and do nothing.
    MainDialogModel(ParameterBlock& block, DialogPlatform& platform, UndoStore& undo,
                    MemoryDotStore* dots = nullptr);

    // Initialisation after the window exists and its lists are filled:
    // enabled flags, the snapshot for Cancel, the controls from the block and
    // back, the enable rules.
    void open();

    // Events from the window system.
    void command(int id);
    void numberBoxChanged(int boxId);
    void checkboxClicked(int checkboxId, int checked);
    void listChanged(int listId, int index);
    void timerFired(int timerId);
    void mousePress(int x, int y, bool ctrl, bool rightButton = false);
    void mouseMove(int x, int y, bool ctrl);
    void mouseRelease();
    // A key on a focused slider, and wheel notches (positive away from the
    // user, each one step up) over a slider or its number box. A changed
    // value is written into the box, kept for Undo and rendered.
    void sliderKey(int sliderId, SliderKey key);
    void wheel(int id, int notches);
    // Arrow keys on a focused picker: its handle moves by (dx, dy) pixels
    // and the vector follows as a drag to that point would set it; `centre`
    // puts it at the middle (0, 0, 1), as Ctrl does. Kept for Undo, rendered.
    void pickerKey(int pickerId, int dx, int dy, bool centre = false);
    // Space on a focused memory dot or the centre dot: a click of that kind.
    void dotKey(int id, DotClick click);
    // A number box lost the focus: it shows the value it holds (typed text
    // that is no number, or more than one, is replaced).
    void numberBoxLeft(int boxId);

    void paintControl(int id, Painter& painter, bool focused = false) const;
    void paintAll(Painter& painter) const;
    int hitTest(int x, int y) const;  // -1 for none

    void exchangeToControls();
    void exchangeToBlock();

    int value(int id) const { return valid(id) ? values_[id] : 0; }
    bool enabled(int id) const { return valid(id) && enabled_[id]; }
    const uint16_t* colour(int id) const { return colours_[valid(id) ? id : 0]; }
    const float* vector(int id) const { return vectors_[valid(id) ? id : 0]; }
    void setEnabled(int id, bool on);
    int captured() const { return captured_; }
    bool timerRunning() const { return timerRunning_; }
    bool ended() const { return ended_; }
    int endCode() const { return endCode_; }
    int16_t result() const { return result_; }
    const ParameterBlock& block() const { return block_; }
    const LivePreview& preview() const { return preview_; }
    const MemoryDotTable& dots() const { return dots_; }
    // What the status line shows: a note of the last job, else the preset name.
    std::string statusText() const;

    // The preset-folder refresh (Ctrl-click on the centre dot): every preset
    // file of a chosen folder whose name holds "q9q" or "q5q" is loaded,
    // rendered and written back with a fresh thumbnail; "q9q" files move to
    // the ".q5q" name. The settings before it come back at the end.
    void refreshPresetFolder();

private:
    static bool valid(int id) { return id >= 0 && id < kControlCount; }
    void writeBox(int boxId, double number);
    void stopTypingTimer();
    void refreshFromBlock();
    void applyZoomEnables();
    void showZoomText();
    void saveSettings();
    void loadSettings();
    void endWith(int endCode);
    void sliderDrag(int id, int x, int y);
    void pickerDrag(int id, int x, int y, bool ctrl);
    void stepSlider(int id, int value);
    // Memory dots (memory_dots.cpp); each click returns its undo kind.
    void openMemoryDots();
    int dotClicked(int dot, DotClick click);
    int centreDotClicked(DotClick click);
    void hoverDot(int dot);
    bool storeDot(int dot);
    void applyDot(int dot);
    void makeCurrentDot(int dot);
    void showDot(int dot);
    void hideDot();
    void paintDot(int id, Painter& painter) const;
    void paintCentreDot(Painter& painter) const;
    void setStatusNote(const std::string& note);

    ParameterBlock& block_;
    DialogPlatform& platform_;
    UndoStore& undo_;
    MemoryDotStore* store_;
    ParameterBlock opening_{};
    ParameterBlock spare_{};  // the settings a refresh puts back
    MemoryDotTable dots_;
    DotClick press_ = DotClick::Left;
    bool refreshing_ = false;
    std::string statusNote_;

    int values_[kControlCount]{};
    uint8_t enabled_[kControlCount]{};
    uint16_t colours_[kControlCount][3]{};
    float vectors_[kControlCount][3]{};

    LivePreview preview_;
    bool previewMarked_ = false;
    bool timerRunning_ = false;
    bool writingBox_ = false;        // the model's own writes into number boxes
    int captured_ = -1;
    bool moved_ = false;
    bool hasPrevious_ = false;
    int previousX_ = 0, previousY_ = 0;
    bool previousCtrl_ = false;
    bool ended_ = false;
    int endCode_ = 0;
    int16_t result_ = 0;
};

}  // namespace lumenfall

#endif
