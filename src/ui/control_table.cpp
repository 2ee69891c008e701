#include "ui/control_table.h"

#include <array>

namespace lumenfall {
namespace {

struct SliderRow {
    int slider, box, label, stringNumber, track;
    int left, top;
    int32_t ParameterBlock::*field;
};

// Column of the Bow sliders and Master Brightness.
constexpr int kRightColumn = 742;

const SliderRow kSliders[25] = {
    {37, 86, 36, 5, 1, 113, 19, &ParameterBlock::sunRadius},
    {39, 85, 38, 12, 1, 113, 41, &ParameterBlock::sunColdHot},
    {45, 88, 44, 14, 1, 113, 63, &ParameterBlock::sunSwirlCount},
    {43, 87, 42, 13, 1, 113, 85, &ParameterBlock::sunSwirlSize},
    {41, 84, 40, 6, 1, 113, 107, &ParameterBlock::sunSmear},
    {47, 89, 46, 16, 1, 113, 129, &ParameterBlock::sunDetail},
    {71, 96, 70, 10, 2, 113, 203, &ParameterBlock::flareCount},
    {98, 99, 97, 7, 2, 113, 225, &ParameterBlock::flareRadius},
    {69, 95, 68, 8, 2, 113, 247, &ParameterBlock::flareWidth},
    {110, 111, 109, 21, 2, 113, 269, &ParameterBlock::flareDetail},
    {114, 115, 113, 9, 2, 113, 291, &ParameterBlock::flareBrightness},
    {13, 80, 4, 26, 1, 113, 335, &ParameterBlock::spikeCount},
    {10, 77, 24, 27, 1, 113, 357, &ParameterBlock::spikeRadius},
    {11, 78, 15, 25, 1, 113, 379, &ParameterBlock::spikeWidth},
    {12, 79, 22, 28, 1, 113, 401, &ParameterBlock::spikeBrightness},
    {51, 83, 50, 17, 1, 113, 423, &ParameterBlock::spikeGamma},
    {65, 81, 64, 23, 1, 113, 445, &ParameterBlock::spikeDiffraction},
    {67, 82, 66, 24, 1, 113, 467, &ParameterBlock::spikeDetail},
    {55, 90, 54, 18, 2, 113, 509, &ParameterBlock::haloRadius},
    {57, 91, 56, 22, 2, 113, 531, &ParameterBlock::haloBrightness},
    {59, 92, 58, 11, 2, kRightColumn, 457, &ParameterBlock::bowRadius},
    {61, 93, 60, 19, 2, kRightColumn, 479, &ParameterBlock::bowWidth},
    {63, 94, 62, 34, 2, kRightColumn, 501, &ParameterBlock::bowBrightness},
    {103, 104, 102, 15, 2, kRightColumn, 523, &ParameterBlock::bowSmear},
    {107, 108, 0, 0, 1, kRightColumn, 570, &ParameterBlock::masterBrightness},
};

// The 25 memory-dot cells (12 x 12), dot 0 first.
const int kDotCells[25][2] = {
    {402, 449}, {406, 461}, {406, 473}, {402, 486}, {398, 499}, {394, 512}, {394, 525}, {398, 537}, {405, 548},
    {413, 558}, {424, 566}, {436, 575}, {449, 581}, {464, 585}, {479, 585}, {493, 581}, {506, 575}, {518, 566},
    {527, 554}, {533, 541}, {537, 526}, {537, 511}, {533, 497}, {527, 484}, {518, 472},
};

std::array<ControlInfo, kControlCount> buildTable() {
    std::array<ControlInfo, kControlCount> t{};
    auto set = [&](int id, ControlKind kind, int l, int top, int w, int h, int stringNumber = 0) {
        t[id].kind = kind;
        t[id].rect = {l, top, w, h};
        t[id].stringNumber = stringNumber;
    };
    for (const SliderRow& s : kSliders) {
        const bool right = s.left == kRightColumn;
        set(s.slider, ControlKind::Slider, s.left, s.top, 135, 12);
        t[s.slider].partner = s.box;
        t[s.slider].track = s.track;
        set(s.box, ControlKind::NumberBox, right ? 885 : 256, s.top - (right ? 3 : 4), 24, 14);
        t[s.box].partner = s.slider;
        if (s.label) set(s.label, ControlKind::Label, right ? 703 : 74, s.top, 30, 16, s.stringNumber);
    }
    set(48, ControlKind::Checkbox, 297, 106, 14, 14);
    set(49, ControlKind::Label, 315, 109, 65, 13, 3);
    set(52, ControlKind::Checkbox, 297, 128, 14, 14);
    set(53, ControlKind::Label, 316, 131, 65, 13, 4);
    set(105, ControlKind::Checkbox, 743, 544, 14, 14);
    set(30, ControlKind::Label, 703, 546, 30, 16, 41);
    set(101, ControlKind::SunTypeList, 113, 151, 134, 16);
    set(31, ControlKind::Label, 74, 156, 30, 16, 40);
    set(73, ControlKind::GlueList, 113, 566, 134, 16);
    set(146, ControlKind::Label, 74, 571, 30, 16, 39);
    set(23, ControlKind::IconButton, 254, 568, 16, 16);
    set(7, ControlKind::ColourButton, 293, 14, 20, 20, 35);
    set(8, ControlKind::ColourButton, 293, 199, 20, 20, 36);
    set(14, ControlKind::ColourButton, 293, 328, 20, 20, 38);
    set(9, ControlKind::ColourButton, 293, 509, 20, 20, 37);
    set(100, ControlKind::Picker, 291, 230, 85, 85);
    set(112, ControlKind::Picker, 291, 361, 85, 85);
    set(18, ControlKind::Preview, 420, -1, 522, 377);
    set(116, ControlKind::IconButton, 418, 388, 24, 24);
    set(33, ControlKind::IconButton, 643, 390, 16, 16);
    set(34, ControlKind::ZoomText, 664, 388, 35, 19);
    set(32, ControlKind::IconButton, 703, 390, 16, 16);
    set(150, ControlKind::IconButton, 919, 388, 24, 24);
    set(76, ControlKind::StatusLine, 421, 422, 522, 18);
    set(119, ControlKind::CentreDot, 419, 460, 96, 96);
    for (int k = 0; k < 25; ++k) set(kIdFirstMemoryDot + k, ControlKind::MemoryDot, kDotCells[k][0], kDotCells[k][1], 12, 12);
    set(25, ControlKind::Logo, 14, 609, 32, 32);
    const int commandRow[7] = {72, 29, 17, 75, 35, 26, 117};
    for (int i = 0; i < 7; ++i) set(commandRow[i], ControlKind::IconButton, 112 + 80 * i, 607, 62, 31);
    set(2, ControlKind::PushButton, 699, 607, 62, 31);
    set(3, ControlKind::PushButton, 875, 607, 62, 31);
    return t;
}

const std::array<ControlInfo, kControlCount>& table() {
    static const std::array<ControlInfo, kControlCount> t = buildTable();
    return t;
}

}  // namespace

const int kExchangeSliderOrder[25] = {12, 11, 10, 13, 37, 39, 41, 43, 45, 47, 51, 55, 57,
                                      59, 107, 110, 114, 103, 98, 61, 63, 69, 71, 65, 67};

const ControlInfo& controlInfo(int id) {
    static const ControlInfo none{};
    if (id < 0 || id >= kControlCount) return none;
    return table()[id];
}

ControlRect windowRect(int id) {
    const ControlInfo& info = controlInfo(id);
    ControlRect r = info.rect;
    switch (info.kind) {
        case ControlKind::PushButton:
        case ControlKind::IconButton:
            r.left -= 2;
            r.top -= 2;
            break;
        case ControlKind::ZoomText:
            r.top -= 2;
            break;
        case ControlKind::GlueList:
        case ControlKind::SunTypeList:
            // Wider by its drop button; the glue list stops where the next-mode
            // button begins, so the button is never under it.
            r.width += info.kind == ControlKind::GlueList ? windowRect(kIdNextGlue).left - (r.left + r.width) : 19;
            r.height = kDialogClientHeight - r.top;
            break;
        default:
            break;
    }
    return r;
}

const char* labelString(int number) {
    switch (number) {
        case 3: return "Vortices";
        case 4: return "Monopoles";
        case 5: case 7: case 11: case 18: case 27: return "Radius";
        case 6: case 15: return "Smear";
        case 8: case 19: case 25: return "Width";
        case 9: case 22: case 28: case 34: return "Brightness";
        case 10: case 26: return "Count";
        case 12: return "Cold/hot";
        case 13: return "Swirl size";
        case 14: return "Swirl count";
        case 16: case 21: case 24: return "Detail";
        case 17: return "Gamma";
        case 23: return "Diffraction";
        case 35: return "Choose the sun color.";
        case 36: return "Choose the flare color.";
        case 37: return "Choose the halo color.";
        case 38: return "Choose the spike color.";
        case 39: return "Glue";
        case 40: return "Style";
        case 41: return "Flip";
        default: return "-undef string-";
    }
}

int32_t ParameterBlock::*sliderField(int sliderId) {
    for (const SliderRow& s : kSliders)
        if (s.slider == sliderId) return s.field;
    return nullptr;
}

uint16_t (*colourField(ParameterBlock& block, int buttonId))[3] {
    switch (buttonId) {
        case kIdSunColour: return &block.sunColor;
        case kIdFlareColour: return &block.flareColor;
        case kIdHaloColour: return &block.haloColor;
        case kIdSpikeColour: return &block.spikeColor;
        default: return nullptr;
    }
}

// The crossed pickers: the Flares well edits the spike triple, the Spikes
// well the flare triple.
float* pickerField(ParameterBlock& block, int pickerId) {
    if (pickerId == kIdFlaresWellPicker) return &block.spikeX;
    if (pickerId == kIdSpikesWellPicker) return &block.flareX;
    return nullptr;
}

int32_t ParameterBlock::*checkboxField(int checkboxId) {
    switch (checkboxId) {
        case kIdVortices: return &ParameterBlock::vortices;
        case kIdMonopoles: return &ParameterBlock::monopoles;
        case kIdFlipBow: return &ParameterBlock::flipBow;
        default: return nullptr;
    }
}

}  // namespace lumenfall
