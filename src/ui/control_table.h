// The main dialog's controls: one table of every id with its kind, partner,
// label string and pixel rectangle, the label strings, and the bindings of
// the controls to the parameter block. Plain data: the Win32 dialog places
// its windows from it and the model paints and hit-tests with it.
#ifndef LUMENFALL_UI_CONTROL_TABLE_H
#define LUMENFALL_UI_CONTROL_TABLE_H

#include <cstdint>

#include "params/parameter_block.h"

namespace lumenfall {

constexpr int kControlCount = 200;  // ids 0..199
constexpr int kDialogClientWidth = 957;
constexpr int kDialogClientHeight = 656;
constexpr int kSliderMinimum = 0;
constexpr int kSliderMaximum = 100;
constexpr int kNumberBoxTimer = 8064;
constexpr int kNumberBoxTimerPeriod = 1000;  // milliseconds

// Command ids with a role of their own.
enum ControlId : int {
    kIdCancel = 2, kIdOk = 3, kIdSunColour = 7, kIdFlareColour = 8, kIdHaloColour = 9, kIdSpikeColour = 14,
    kIdReset = 17, kIdPreview = 18, kIdNextGlue = 23, kIdLogo = 25, kIdSave = 26, kIdUndo = 29,
    kIdZoomIn = 32, kIdZoomOut = 33, kIdZoomText = 34, kIdLoad = 35, kIdVortices = 48, kIdMonopoles = 52,
    kIdDice = 72, kIdGlueList = 73, kIdEcce = 75, kIdStatusLine = 76, kIdFlaresWellPicker = 100,
    kIdSunTypeList = 101, kIdFlipBow = 105, kIdSpikesWellPicker = 112, kIdInformation = 116,
    kIdPsdExport = 117, kIdCentreDot = 119, kIdFirstMemoryDot = 121, kIdLastMemoryDot = 145,
    kIdPresetsPage = 150,
};

enum class ControlKind : uint8_t {
    None, Slider, NumberBox, Label, Checkbox, PushButton, IconButton, ColourButton, Picker, GlueList,
    SunTypeList, Logo, MemoryDot, CentreDot, StatusLine, ZoomText, Preview,
};

// Left, top, width, height in client pixels.
struct ControlRect {
    int left, top, width, height;
    bool contains(int x, int y) const { return x >= left && x < left + width && y >= top && y < top + height; }
};

struct ControlInfo {
    ControlKind kind = ControlKind::None;
    int partner = 0;       // slider <-> number box; 0 for none
    int stringNumber = 0;  // labels and colour buttons
    int track = 0;         // sliders: 1 (Sun, Spikes, Master) or 2 (Flares, Halo, Bow)
    ControlRect rect{0, 0, 0, 0};  // as laid out; see windowRect for the window
};

// Every id answers; ids without an entry (and ids outside 0..199) answer kind None.
const ControlInfo& controlInfo(int id);

// Where the control's window goes: push and icon buttons 2 pixels left of
// and above their rectangle, the zoom text 2 pixels higher, the two lists 19
// pixels wider (the glue list up to its next-mode button) and tall enough to
// drop down to the bottom of the client area.
ControlRect windowRect(int id);

// The label texts by string number; any other number gives "-undef string-".
const char* labelString(int number);

// Slider ids in the order the value exchange visits them.
extern const int kExchangeSliderOrder[25];

// The block field of a slider (null for any other id).
int32_t ParameterBlock::*sliderField(int sliderId);

// The colour channels of a colour button (null for any other id).
uint16_t (*colourField(ParameterBlock& block, int buttonId))[3];

// The x of a picker's vector; y and z follow it (null for any other id).
float* pickerField(ParameterBlock& block, int pickerId);

// The block field of a checkbox (null for any other id).
int32_t ParameterBlock::*checkboxField(int checkboxId);

}  // namespace lumenfall

#endif
