#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "params/defaults.h"
#include "ui/dialog_model.h"
#include "ui/fake_platform.h"

namespace lumenfall {
namespace {

struct DialogFixture : ::testing::Test {
    std::unique_ptr<ParameterBlock> block{new ParameterBlock{}};
    std::unique_ptr<ParameterBlock[]> slots{new ParameterBlock[2]{}};
    int32_t undoState = 0;
    MemoryUndoFiles files;
    std::unique_ptr<UndoStore> undo;
    FakePlatform platform;
    std::unique_ptr<MainDialogModel> model;

    void SetUp() override {
        initialiseParameterBlock(*block);
        undo.reset(new UndoStore(*reinterpret_cast<ParameterBlock(*)[2]>(slots.get()), undoState, files));
        model.reset(new MainDialogModel(*block, platform, *undo));
        platform.model = model.get();
    }
    void open() {
        undo->snapshot(*block, kUndoWithFile);  // the start handler's snapshot
        model->open();
        platform.calls.clear();
    }
    void type(int box, const char* text) {
        platform.boxes[box] = text;
        model->numberBoxChanged(box);
    }
    void drag(int x0, int y0, int x1, int y1, bool ctrl = false) {
        model->mousePress(x0, y0, ctrl);
        model->mouseMove(x0, y0, ctrl);  // the posted move of the press
        model->mouseMove(x1, y1, ctrl);
        model->mouseRelease();
    }
};

TEST(ControlTable, PlacesControlsAndPartners) {
    EXPECT_EQ(ControlKind::Slider, controlInfo(37).kind);
    ControlRect r = windowRect(37);
    EXPECT_EQ((std::vector<int>{113, 19, 135, 12}), (std::vector<int>{r.left, r.top, r.width, r.height}));
    r = windowRect(86);
    EXPECT_EQ((std::vector<int>{256, 15, 24, 14}), (std::vector<int>{r.left, r.top, r.width, r.height}));
    r = windowRect(92);  // Bow column: 3 above
    EXPECT_EQ((std::vector<int>{885, 454}), (std::vector<int>{r.left, r.top}));
    r = windowRect(kIdOk);
    EXPECT_EQ((std::vector<int>{873, 605, 62, 31}), (std::vector<int>{r.left, r.top, r.width, r.height}));
    r = windowRect(kIdCancel);
    EXPECT_EQ((std::vector<int>{697, 605}), (std::vector<int>{r.left, r.top}));
    r = windowRect(kIdGlueList);
    EXPECT_EQ((std::vector<int>{113, 566, 139, 90}), (std::vector<int>{r.left, r.top, r.width, r.height}));
    r = windowRect(kIdZoomText);
    EXPECT_EQ(386, r.top);
    EXPECT_EQ(703, windowRect(102).left);  // Bow label column
    int sliders = 0;
    for (int id = 0; id < kControlCount; ++id) {
        if (controlInfo(id).kind != ControlKind::Slider) continue;
        ++sliders;
        const ControlInfo& box = controlInfo(controlInfo(id).partner);
        EXPECT_EQ(ControlKind::NumberBox, box.kind) << id;
        EXPECT_EQ(id, box.partner) << id;
        EXPECT_NE(nullptr, sliderField(id)) << id;
    }
    EXPECT_EQ(25, sliders);
    EXPECT_EQ(ControlKind::None, controlInfo(200).kind);
    EXPECT_EQ(ControlKind::None, controlInfo(-1).kind);
}

TEST(ControlTable, LabelStrings) {
    EXPECT_STREQ("Vortices", labelString(3));
    EXPECT_STREQ("Cold/hot", labelString(12));
    EXPECT_STREQ("Diffraction", labelString(23));
    EXPECT_STREQ("Choose the spike color.", labelString(38));
    EXPECT_STREQ("Flip", labelString(41));
    for (int n : {0, 2, 20, 29, 33, 42}) EXPECT_STREQ("-undef string-", labelString(n)) << n;
    EXPECT_STREQ("Radius", labelString(controlInfo(36).stringNumber));
    EXPECT_STREQ("Swirl count", labelString(controlInfo(44).stringNumber));
    EXPECT_STREQ("Choose the halo color.", labelString(controlInfo(kIdHaloColour).stringNumber));
}

TEST(NumberBox, ReadsDecimalsAndMendsOddTexts) {
    EXPECT_EQ(0, clampToSliderRange(readNumberText("nan")));
    EXPECT_EQ(0, clampToSliderRange(readNumberText("-inf")));
    EXPECT_EQ(100, clampToSliderRange(readNumberText("inf")));
    EXPECT_EQ(100, clampToSliderRange(readNumberText("1e999")));
    EXPECT_EQ(0, clampToSliderRange(readNumberText("0x40")));
    EXPECT_EQ(0, clampToSliderRange(readNumberText("sun")));
    EXPECT_EQ(42.5, readNumberText(" 42.5"));
    EXPECT_EQ("100", formatBoxNumber(100));
}

TEST(SliderMaths, KnobAndDrag) {
    const ControlRect r = controlInfo(37).rect;
    EXPECT_EQ(r.left + 121, sliderKnobLeft(r, 100));
    EXPECT_EQ(r.left + 1, sliderKnobLeft(r, 0));
    EXPECT_EQ(159, sliderKnobLeft(r, 38));
    EXPECT_EQ(0, sliderValueAt(r, r.left + 5));
    EXPECT_EQ(0, sliderValueAt(r, r.left - 40));
    EXPECT_EQ(100, sliderValueAt(r, r.left + 126));
    EXPECT_EQ(100, sliderValueAt(r, r.left + 400));
    EXPECT_EQ(0, sliderValueAt(r, r.left + 6));  // 1 * 100 / 121 truncates
}

TEST(PickerMaths, RimFlatInsideLeaningCtrlUp) {
    const ControlRect r = controlInfo(100).rect;
    float v[3];
    pickerVectorAt(r, r.left + 43 + 50, r.top + 41, false, v);
    EXPECT_FLOAT_EQ(1, v[0]);
    EXPECT_FLOAT_EQ(0, v[1]);
    EXPECT_FLOAT_EQ(0, v[2]);
    pickerVectorAt(r, r.left + 43 + 50, r.top + 41, true, v);
    EXPECT_EQ((std::vector<float>{0, 0, 1}), (std::vector<float>{v[0], v[1], v[2]}));
    pickerVectorAt(r, r.left + 43, r.top + 41 - 11, false, v);  // inside: leans toward the viewer
    EXPECT_NEAR(-1.0 / 3, v[1], 1e-6);
    EXPECT_GT(v[2], 0.9f);
}

TEST_F(DialogFixture, TypedNumberClampsAndStartsTheTimerOnce) {
    open();
    type(86, "150");
    EXPECT_EQ(100, model->value(37));
    EXPECT_EQ("150", platform.boxes[86]);  // the box keeps the typed text
    EXPECT_EQ(1, platform.count("start 8064 1000"));
    model->exchangeToBlock();
    EXPECT_EQ("100", platform.boxes[86]);
    EXPECT_EQ(100, block->sunRadius);
    // The exchange's own write did not start the timer again.
    EXPECT_EQ(1, platform.timerStarts);
    for (const char* text : {"nan", "-inf", "0x40"}) {
        type(86, text);
        EXPECT_EQ(0, model->value(37)) << text;
    }
    type(86, "1e999");
    EXPECT_EQ(100, model->value(37));
}

TEST_F(DialogFixture, TimerSnapshotsOnceAndRenders) {
    open();
    type(85, "70");
    const int renders = platform.renders;
    model->timerFired(kNumberBoxTimer);
    EXPECT_EQ(70, block->sunColdHot);
    EXPECT_EQ(renders + 1, platform.renders);
    EXPECT_FALSE(model->timerRunning());
    model->command(kIdUndo);
    EXPECT_EQ(0, block->sunColdHot);  // the state before the typing
}

TEST_F(DialogFixture, BoxesShowTheKeptValueAfterTimerAndFocusLoss) {
    open();
    // Stray text reads as its number, and the box is rewritten with it.
    type(86, "7x");
    EXPECT_EQ("7x", platform.boxes[86]);  // left alone while the user types
    model->timerFired(kNumberBoxTimer);
    EXPECT_EQ("7", platform.boxes[86]);
    EXPECT_EQ(7, block->sunRadius);
    type(85, "abc");
    model->numberBoxLeft(85);
    EXPECT_EQ("0", platform.boxes[85]);
    type(84, "38.9");
    model->numberBoxLeft(84);
    EXPECT_EQ("38", platform.boxes[84]);  // a whole number is kept
    // A box that already shows its value is not written again.
    platform.calls.clear();
    model->numberBoxLeft(84);
    EXPECT_EQ(0, platform.count("text 84"));
}

TEST_F(DialogFixture, SliderKeysAndWheelStepWithinTheRange) {
    EXPECT_EQ(51, sliderValueAfterKey(50, SliderKey::Right));
    EXPECT_EQ(51, sliderValueAfterKey(50, SliderKey::Down));
    EXPECT_EQ(49, sliderValueAfterKey(50, SliderKey::Left));
    EXPECT_EQ(49, sliderValueAfterKey(50, SliderKey::Up));
    EXPECT_EQ(60, sliderValueAfterKey(50, SliderKey::PageDown));
    EXPECT_EQ(40, sliderValueAfterKey(50, SliderKey::PageUp));
    EXPECT_EQ(100, sliderValueAfterKey(95, SliderKey::PageDown));
    EXPECT_EQ(0, sliderValueAfterKey(5, SliderKey::PageUp));
    EXPECT_EQ(0, sliderValueAfterKey(50, SliderKey::Home));
    EXPECT_EQ(100, sliderValueAfterKey(50, SliderKey::End));
    open();
    ASSERT_EQ(38, model->value(37));
    const int renders = platform.renders;
    model->sliderKey(37, SliderKey::Right);
    EXPECT_EQ(39, block->sunRadius);
    EXPECT_EQ("39", platform.boxes[86]);
    EXPECT_EQ(renders + 1, platform.renders);
    // The wheel over the number box moves its slider.
    model->wheel(86, 3);
    EXPECT_EQ(42, block->sunRadius);
    model->wheel(37, -1000);
    EXPECT_EQ(0, block->sunRadius);
    // At the end nothing changes and nothing renders.
    const int atEnd = platform.renders;
    model->sliderKey(37, SliderKey::Home);
    EXPECT_EQ(atEnd, platform.renders);
    // Each step is one Undo step.
    model->command(kIdUndo);
    EXPECT_EQ(42, block->sunRadius);
    // A disabled slider and other ids ignore keys and the wheel.
    model->setEnabled(39, false);
    model->sliderKey(39, SliderKey::End);
    model->wheel(kIdOk, 1);
    EXPECT_EQ(0, block->sunColdHot);
}

TEST_F(DialogFixture, PickerArrowsMoveTheHandleAPixel) {
    open();
    ASSERT_FLOAT_EQ(-0.3f, block->flareX);  // the Spikes well: handle 10 left of, 6 above the middle
    model->pickerKey(kIdSpikesWellPicker, 1, 0);
    EXPECT_NEAR(-9.0 / 33, block->flareX, 1e-6);
    EXPECT_NEAR(-6.0 / 33, block->flareY, 1e-6);
    EXPECT_GT(block->flareZ, 0.9f);
    model->pickerKey(kIdSpikesWellPicker, 0, 0, true);  // Home: the middle
    EXPECT_FLOAT_EQ(0.0f, block->flareX);
    EXPECT_FLOAT_EQ(1.0f, block->flareZ);
    model->pickerKey(kIdSpikesWellPicker, 60, 0);  // past the rim: flat
    EXPECT_FLOAT_EQ(1.0f, block->flareX);
    EXPECT_FLOAT_EQ(0.0f, block->flareZ);
    model->command(kIdUndo);
    EXPECT_FLOAT_EQ(1.0f, block->flareZ);
    model->setEnabled(kIdFlaresWellPicker, false);
    const float before = block->spikeX;
    model->pickerKey(kIdFlaresWellPicker, 5, 5);
    EXPECT_EQ(before, block->spikeX);
}

TEST_F(DialogFixture, SliderDragUndoGoesBackToTheOpeningValue) {
    open();
    ASSERT_EQ(38, block->sunRadius);
    const ControlRect r = controlInfo(37).rect;
    // The pointer at the value 60: 60 * 121 / 100 = 72.6, so 73 from the left edge + 1, + 4.
    drag(r.left + 50, r.top + 5, r.left + 1 + 73 + 4, r.top + 5);
    EXPECT_EQ(60, model->value(37));
    EXPECT_EQ("60", platform.boxes[86]);
    EXPECT_EQ(60, block->sunRadius);
    EXPECT_EQ(0, platform.timerStarts);  // the drag's writes are not typing
    EXPECT_EQ(-1, model->captured());
    model->command(kIdUndo);
    EXPECT_EQ(38, block->sunRadius);
    EXPECT_EQ("38", platform.boxes[86]);
    model->command(kIdUndo);
    EXPECT_EQ(60, block->sunRadius);
}

TEST_F(DialogFixture, CrossedPickersAndCtrl) {
    open();
    const float flareX = block->flareX;
    const ControlRect r = controlInfo(kIdFlaresWellPicker).rect;
    drag(r.left + 43, r.top + 41, r.left + 43 + 50, r.top + 41);
    EXPECT_FLOAT_EQ(1, block->spikeX);
    EXPECT_FLOAT_EQ(0, block->spikeZ);
    EXPECT_EQ(flareX, block->flareX);
    const ControlRect s = controlInfo(kIdSpikesWellPicker).rect;
    drag(s.left + 10, s.top + 10, s.left + 10, s.top + 10, true);
    EXPECT_EQ((std::vector<float>{0, 0, 1}), (std::vector<float>{block->flareX, block->flareY, block->flareZ}));
}

TEST_F(DialogFixture, PressCapturesAndPostsTheFirstMove) {
    open();
    model->mousePress(20, 620, true);  // the logo
    EXPECT_EQ(kIdLogo, model->captured());
    EXPECT_EQ((std::vector<std::string>{"capture", "move 20,620 ctrl"}), platform.calls);
    model->mouseRelease();
    EXPECT_EQ(1, platform.count("command 25"));
    model->command(kIdLogo);
    EXPECT_EQ(1, platform.count("about"));
    // Outside every pressable control nothing is captured.
    model->mousePress(5, 5, false);
    EXPECT_EQ(-1, model->captured());
}

TEST_F(DialogFixture, HitTestSkipsDisabledAndOtherKinds) {
    open();
    EXPECT_EQ(37, model->hitTest(113, 19));
    EXPECT_EQ(-1, model->hitTest(113 + 135, 19));
    EXPECT_EQ(-1, model->hitTest(260, 18));  // a number box is the platform's own
    EXPECT_EQ(kIdPreview, model->hitTest(500, 100));
    model->setEnabled(37, false);
    EXPECT_EQ(-1, model->hitTest(120, 25));
    EXPECT_EQ(kIdFirstMemoryDot, model->hitTest(403, 450));
}

TEST_F(DialogFixture, ZoomControlsDisabledWithoutPreview) {
    model->open();
    for (int id : {kIdZoomIn, kIdZoomOut, kIdZoomText}) EXPECT_FALSE(model->enabled(id)) << id;
    EXPECT_TRUE(model->enabled(37));
}

TEST_F(DialogFixture, ExchangeVisitsControlsInItsOrder) {
    open();
    model->exchangeToControls();
    std::vector<std::string> expected = {"check 48", "check 52", "check 105", "paint 7", "paint 8", "paint 9",
                                         "paint 14", "paint 112", "paint 100"};
    for (int id : kExchangeSliderOrder) {
        expected.push_back("text " + std::to_string(controlInfo(id).partner));
        expected.push_back("paint " + std::to_string(id));
    }
    for (const char* s : {"paint 14", "list 73", "list 101"}) expected.push_back(s);
    EXPECT_EQ(expected, platform.calls);
}

TEST_F(DialogFixture, OpeningNormalisesOutOfRangeValues) {
    block->sunRadius = 150;
    block->flareCount = -3;
    block->glue = 40;
    model->open();
    EXPECT_EQ(100, block->sunRadius);
    EXPECT_EQ(0, block->flareCount);
    EXPECT_EQ(19, block->glue);
}

TEST_F(DialogFixture, NextGlueWrapsEcceAndDice) {
    open();
    block->glue = 19;
    model->exchangeToControls();
    model->command(kIdNextGlue);
    EXPECT_EQ(1, block->glue);
    EXPECT_EQ(1, model->value(kIdGlueList));
    for (int i = 0; i < 200; ++i) {
        model->command(kIdEcce);
        ASSERT_GE(block->randomSeed, 0);
        ASSERT_LE(block->randomSeed, 2047);
    }
    platform.calls.clear();
    model->command(kIdDice);
    EXPECT_STREQ("random settings.q4q", block->settingsName);
    EXPECT_EQ(25, block->flareDetail);
    EXPECT_EQ(1, platform.count("paint 76"));
}

TEST_F(DialogFixture, CancelRestoresEverySetting) {
    open();
    ParameterBlock before;
    std::memcpy(&before, block.get(), sizeof before);
    model->command(kIdDice);
    type(86, "3");
    model->checkboxClicked(kIdVortices, 1);
    model->listChanged(kIdSunTypeList, 2);
    platform.colourConfirmed = true;
    platform.colourReply[0] = 0x1200;
    model->command(kIdHaloColour);
    drag(335, 400, 380, 400);
    model->command(kIdCancel);
    EXPECT_EQ(-128, model->result());
    EXPECT_EQ(0, std::memcmp(&before, block.get(), sizeof before));
    EXPECT_EQ(1, platform.count("end 2"));
    EXPECT_EQ(1, platform.count("close"));
}

TEST_F(DialogFixture, OkKeepsEditsAndColourCancelChangesNothing) {
    open();
    platform.colourConfirmed = false;
    const int renders = platform.renders;
    model->command(kIdSunColour);
    EXPECT_EQ(renders, platform.renders);
    EXPECT_EQ(1, platform.count("colour Choose the sun color."));
    model->command(kIdUndo);  // nothing was snapshotted: back to the opening state
    platform.colourConfirmed = true;
    platform.colourReply[0] = 0xAB00;
    model->command(kIdSunColour);
    type(91, "12");
    model->command(kIdOk);
    EXPECT_EQ(0, model->result());
    EXPECT_EQ(0xAB00, block->sunColor[0]);
    EXPECT_EQ(12, block->haloBrightness);
    EXPECT_EQ(1, platform.count("end 3"));
}

TEST_F(DialogFixture, SaveProposesTheNameWithQ4q) {
    open();
    std::strcpy(block->settingsName, "dusk.v2.q4q");
    model->command(kIdSave);  // cancelled: nothing written
    EXPECT_EQ(1, platform.count("file dusk.v2.q4q"));
    block->settingsName[0] = 0;
    model->command(kIdSave);
    EXPECT_EQ(1, platform.count("file Lumenfall settings.q4q"));
}

TEST_F(DialogFixture, FolderPromptKeepsTheChosenFilesFolder) {
    char folder[kPathFieldSize] = "/start/";
    EXPECT_FALSE(chooseSourceFolder(platform, nullptr));
    platform.filePath = "";
    EXPECT_FALSE(chooseSourceFolder(platform, folder));  // cancelled
    EXPECT_STREQ("/start/", folder);
    platform.filePath = "/pictures/suns/dusk.q4q";
    EXPECT_TRUE(chooseSourceFolder(platform, folder));
    EXPECT_STREQ("/pictures/suns/", folder);
}

// Records what painting draws, one line per call.
class RecordingPainter : public Painter {
public:
    std::vector<std::string> calls;
    bool artwork = true;
    static std::string rect(const PaintRect& r) {
        return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
               std::to_string(r.bottom);
    }
    static std::string rgb(Rgb8 c) { return std::to_string(c.r) + "/" + std::to_string(c.g) + "/" + std::to_string(c.b); }
    void restoreBackground(const PaintRect& r) override { calls.push_back("bg " + rect(r)); }
    bool hasArtwork(Artwork) override { return artwork; }
    void drawArtwork(Artwork a, int l, int t) override {
        calls.push_back("art " + std::to_string(int(a)) + " " + std::to_string(l) + "," + std::to_string(t));
    }
    void fill(const PaintRect& r, Rgb8 c) override { calls.push_back("fill " + rect(r) + " " + rgb(c)); }
    void frame(const PaintRect& r, Rgb8 c) override { calls.push_back("frame " + rect(r) + " " + rgb(c)); }
    void line(int x0, int y0, int x1, int y1, Rgb8 c) override {
        calls.push_back("line " + rect({x0, y0, x1, y1}) + " " + rgb(c));
    }
    void text(const PaintRect& r, const char* t, TextAlign a, Rgb8 c, bool clip) override {
        calls.push_back("text " + rect(r) + " " + t + " " + std::to_string(int(a)) + " " + rgb(c) + (clip ? " clip" : ""));
    }
    void buttonFace(const PaintRect& r, bool raised) override {
        calls.push_back("face " + rect(r) + (raised ? " raised" : " flat"));
    }
    void focusRect(const PaintRect& r) override { calls.push_back("focus " + rect(r)); }
};

TEST_F(DialogFixture, PaintsSlidersLabelsSwatchesAndPickers) {
    open();
    RecordingPainter p;
    model->paintControl(37, p);
    EXPECT_EQ((std::vector<std::string>{"bg 113,19,248,31", "art 0 113,19", "art 2 159,20"}), p.calls);
    p.calls.clear();
    model->paintControl(37, p, true);  // with the keyboard focus
    EXPECT_EQ("focus 113,19,248,31", p.calls.back());
    p.calls.clear();
    model->paintControl(98, p);  // a Flares slider: the second track
    EXPECT_EQ("art 1 113,225", p.calls[1]);
    p.calls.clear();
    model->setEnabled(37, false);
    model->paintControl(37, p);
    EXPECT_EQ((std::vector<std::string>{"bg 113,19,248,31", "fill 113,19,246,30 222/222/222",
                                        "frame 113,19,246,30 140/140/140"}),
              p.calls);
    p.calls.clear();
    model->setEnabled(36, false);
    model->paintControl(36, p);
    model->paintControl(49, p);
    EXPECT_EQ("text 74,18,104,32 Radius 2 140/140/140", p.calls[1]);
    EXPECT_EQ("text 315,107,380,121 Vortices 0 0/0/0", p.calls[3]);
    p.calls.clear();
    model->paintControl(kIdSunColour, p);
    model->paintControl(kIdSunColour, p, true);
    EXPECT_EQ((std::vector<std::string>{"face 293,14,313,34 raised", "fill 295,16,312,33 142/135/191",
                                        "face 293,14,313,34 raised", "fill 296,17,311,32 142/135/191",
                                        "focus 300,21,307,28"}),
              p.calls);
    p.calls.clear();
    model->paintControl(kIdSpikesWellPicker, p);
    ASSERT_EQ(3u, p.calls.size());
    EXPECT_EQ(0u, p.calls[2].find("line 332,401,"));
    EXPECT_NE(std::string::npos, p.calls[2].find("255/255/0"));
    p.calls.clear();
    const ControlRect r = controlInfo(kIdFlaresWellPicker).rect;
    drag(r.left + 43, r.top + 41, r.left + 43 + 50, r.top + 41);
    model->paintControl(kIdFlaresWellPicker, p);
    EXPECT_EQ("line 332,270,366,271 255/255/0", p.calls[2]);  // 33 pixels right of the handle's origin
}

}  // namespace
}  // namespace lumenfall
