#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>

#include "params/defaults.h"
#include "params/preset_format.h"
#include "ui/dialog_model.h"
#include "ui/fake_platform.h"

namespace lumenfall {
namespace {

// Dots kept in memory; a dot number in `unwritable` fails to save.
class MemoryDots : public MemoryDotStore {
public:
    int32_t flags[kMemoryDots] = {};
    std::map<int, int32_t> radius;  // the sun radius each saved dot holds
    int unwritable = -1;
    MemoryDots() : MemoryDotStore(flags) {}
    int32_t save(int dot, const ParameterBlock& block, const std::vector<uint8_t>*) override {
        if (dot == unwritable) return kPresetWriteError;
        radius[dot] = block.sunRadius;
        return kPresetOk;
    }
    int32_t load(int dot, ParameterBlock& block) override {
        if (!radius.count(dot)) return kPresetCannotOpen;
        block.sunRadius = radius[dot];
        return kPresetOk;
    }
};

struct DotsFixture : ::testing::Test {
    std::unique_ptr<ParameterBlock> block{new ParameterBlock{}};
    std::unique_ptr<ParameterBlock[]> slots{new ParameterBlock[2]{}};
    int32_t undoState = 0;
    MemoryUndoFiles files;
    MemoryDots store;
    std::unique_ptr<UndoStore> undo;
    FakePlatform platform;
    std::unique_ptr<MainDialogModel> model;

    void SetUp() override {
        initialiseParameterBlock(*block);
        undo.reset(new UndoStore(*reinterpret_cast<ParameterBlock(*)[2]>(slots.get()), undoState, files));
    }
    // A new opening of the dialog over the same store, as the next run would.
    void open() {
        model.reset(new MainDialogModel(*block, platform, *undo, &store));
        platform.model = model.get();
        undo->snapshot(*block, kUndoWithFile);
        model->open();
        platform.calls.clear();
        files.saves = 0;
    }
    void setRadius(int v) {
        platform.boxes[86] = std::to_string(v);
        model->numberBoxChanged(86);
        model->timerFired(kNumberBoxTimer);
    }
    // A click as the window makes it: press, release, then the posted command.
    void click(int id, DotClick how = DotClick::Left) {
        const ControlRect& r = controlInfo(id).rect;
        model->mousePress(r.left + r.width / 2, r.top + r.height / 2, how == DotClick::CtrlLeft, how == DotClick::Right);
        model->mouseRelease();
        model->command(id);
    }
    int dot(int k) const { return kIdFirstMemoryDot + k; }
    int16_t state(int k) const { return model->dots().state[k]; }
};

TEST_F(DotsFixture, OpeningStoresInTheFirstFreeDotUnlessAllAreKept) {
    store.flags[0] = store.flags[1] = 1;
    block->sunRadius = 44;
    open();
    EXPECT_EQ(kDotFilled, state(0));
    EXPECT_EQ(kDotCurrent, state(2));
    EXPECT_EQ(0, store.flags[2]);
    EXPECT_EQ(44, store.radius[2]);
    EXPECT_EQ(2, model->dots().shown);
    EXPECT_EQ(2, model->dots().selected);

    for (int32_t& f : store.flags) f = 1;
    store.radius.clear();
    open();
    EXPECT_TRUE(store.radius.empty());
    EXPECT_EQ(-1, model->dots().shown);
}

TEST_F(DotsFixture, ClickTableKeepsFillsAndEmpties) {
    open();  // dot 0 holds the opening settings
    setRadius(61);
    click(dot(5), DotClick::Right);  // empty + right: kept and stored
    EXPECT_EQ(kDotCurrent, state(5));
    EXPECT_EQ(1, store.flags[5]);
    EXPECT_EQ(kDotFilled, state(0));  // the previous current dot is demoted
    click(dot(7), DotClick::CtrlLeft);  // empty + Ctrl: stored, not kept
    EXPECT_EQ(kDotCurrent, state(7));
    EXPECT_EQ(0, store.flags[7]);
    click(dot(5), DotClick::CtrlLeft);  // filled + Ctrl: no longer kept, still filled
    EXPECT_EQ(0, store.flags[5]);
    EXPECT_EQ(kDotFilled, state(5));
    click(dot(7), DotClick::Right);  // filled + right: emptied, the centre cleared
    EXPECT_EQ(kDotEmpty, state(7));
    EXPECT_EQ(-1, model->dots().selected);

    // The next opening: only kept dots come back, and the Ctrl-filled dot 7
    // is free again; the opening settings go to dot 0.
    store.flags[9] = 1;
    store.radius[9] = 12;
    open();
    EXPECT_EQ(kDotEmpty, state(7));
    EXPECT_EQ(kDotEmpty, state(5));
    EXPECT_EQ(kDotFilled, state(9));
    EXPECT_EQ(kDotCurrent, state(0));
}

// Emptying the current dot leaves no dot current; each state has its
// picture, kept or not, pressed or not.
TEST_F(DotsFixture, EmptyingTheCurrentDotLeavesNoneCurrent) {
    open();
    click(dot(3), DotClick::Right);
    ASSERT_EQ(model->dots().current, 3);
    click(dot(3), DotClick::Right);
    EXPECT_EQ(kDotEmpty, state(3));
    EXPECT_EQ(model->dots().current, -1);
}

TEST(MemoryDotPictures, EveryStateKeptAndPressed) {
    EXPECT_EQ(memoryDotPicture(kDotEmpty, false, false), 0);
    EXPECT_EQ(memoryDotPicture(kDotEmpty, true, false), 0);
    EXPECT_EQ(memoryDotPicture(kDotFilled, false, false), 1);
    EXPECT_EQ(memoryDotPicture(kDotFilled, true, false), 2);
    EXPECT_EQ(memoryDotPicture(kDotCurrent, false, false), 3);
    EXPECT_EQ(memoryDotPicture(kDotCurrent, true, false), 4);
    EXPECT_EQ(memoryDotPicture(kDotCurrent, true, true), 9);
    EXPECT_EQ(memoryDotPicture(kDotEmpty, false, true), 5);
}

TEST_F(DotsFixture, LeftClickAppliesWithAFileSnapshotAndUndoReturns) {
    open();
    store.flags[4] = 1;
    store.radius[4] = 80;
    open();
    ASSERT_EQ(kDotFilled, state(4));
    setRadius(30);
    click(dot(4));
    EXPECT_EQ(80, block->sunRadius);
    EXPECT_EQ("80", platform.boxes[86]);
    EXPECT_EQ(kDotCurrent, state(4));
    EXPECT_EQ(kDotFilled, state(0));
    EXPECT_EQ(1, files.saves);  // the apply is kept with its undo file
    model->command(kIdUndo);
    EXPECT_EQ(30, block->sunRadius);
    model->command(kIdUndo);
    EXPECT_EQ(80, block->sunRadius);
}

TEST_F(DotsFixture, SpaceOnAFocusedDotIsItsClick) {
    open();
    store.flags[4] = 1;
    store.radius[4] = 80;
    open();
    setRadius(30);
    model->dotKey(dot(4), DotClick::Left);  // as a left click: apply
    EXPECT_EQ(80, block->sunRadius);
    EXPECT_EQ(kDotCurrent, state(4));
    model->dotKey(dot(4), DotClick::CtrlLeft);  // as a Ctrl click: kept flag
    EXPECT_EQ(0, store.flags[4]);
    model->dotKey(kIdOk, DotClick::Left);  // not a dot: nothing
    EXPECT_FALSE(model->ended());
}

TEST_F(DotsFixture, HoverShowsFilledDotsAndTheCentreAppliesTheSelectedOne) {
    store.flags[3] = 1;
    store.radius[3] = 90;
    open();
    const ControlRect& r = controlInfo(dot(3)).rect;
    model->mouseMove(r.left + 5, r.top + 5, false);
    EXPECT_EQ(3, model->dots().shown);
    EXPECT_EQ(1, platform.count("show 3"));
    model->mouseMove(r.left + 6, r.top + 5, false);  // already shown: not decoded again
    EXPECT_EQ(1, platform.count("show 3"));
    click(kIdCentreDot);
    EXPECT_EQ(90, block->sunRadius);
    EXPECT_EQ(kDotCurrent, state(3));

    const ControlRect& e = controlInfo(dot(20)).rect;
    model->mouseMove(e.left + 5, e.top + 5, false);
    EXPECT_EQ(-1, model->dots().selected);
    EXPECT_EQ(1, platform.count("clear"));
    click(kIdCentreDot);  // nothing selected: nothing applied, no snapshot
    EXPECT_EQ(90, block->sunRadius);

    click(kIdCentreDot, DotClick::Right);
    EXPECT_EQ(1, platform.count("dots page 0 3"));
}

TEST_F(DotsFixture, ADotThatCannotBeWrittenStaysEmpty) {
    store.unwritable = 0;
    open();
    EXPECT_EQ(kDotEmpty, state(0));
    EXPECT_EQ("Cannot write memory dot 1", model->statusText());
}

TEST_F(DotsFixture, ResetThenUndoReturnsAndANewChangeOverwritesTheUndoneSlot) {
    open();
    setRadius(70);
    model->command(kIdReset);
    EXPECT_EQ(38, block->sunRadius);
    EXPECT_EQ(0, files.saves);  // kind 1: no undo file
    model->command(kIdUndo);
    EXPECT_EQ(70, block->sunRadius);
    setRadius(20);  // overwrites the reset state
    model->command(kIdUndo);
    EXPECT_EQ(70, block->sunRadius);
    model->command(kIdUndo);
    EXPECT_EQ(20, block->sunRadius);
}

TEST_F(DotsFixture, AnUnwritableUndoFileKeepsTheSlotInMemory) {
    open();
    store.flags[4] = 1;
    store.radius[4] = 80;
    open();
    files.files[0].sunRadius = files.files[1].sunRadius = 5;  // stale files of an earlier run
    files.unwritable = true;
    click(dot(4));
    setRadius(30);
    model->command(kIdUndo);
    EXPECT_EQ(80, block->sunRadius);  // not the stale file's 5
}

// The preset-folder refresh on real files.
struct RefreshFixture : DotsFixture {
    std::string folder;
    void SetUp() override {
        DotsFixture::SetUp();
        const auto dir = std::filesystem::temp_directory_path() /
                         ("lf_refresh_" + std::to_string(std::rand()) + "_" + std::to_string(std::time(nullptr)));
        std::filesystem::create_directories(dir);
        folder = dir.string() + "/";
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    void write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(folder + name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    std::vector<uint8_t> read(const std::string& name) {
        std::ifstream in(folder + name, std::ios::binary);
        return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
};

TEST_F(RefreshFixture, RewritesOnlyCleanPresetsAndNeverReplacesAQ5q) {
    std::unique_ptr<ParameterBlock> preset(new ParameterBlock{});
    initialiseParameterBlock(*preset);
    preset->sunRadius = 77;
    const std::vector<uint8_t> good = presetFileBytes(*preset, nullptr);
    std::vector<uint8_t> v41 = good;
    v41[3] = 41;
    const std::vector<uint8_t> cut(good.begin(), good.begin() + 100);
    const std::vector<uint8_t> text = {'n', 'o', 't', 'e', 's', '\n'};
    write("notes_q5q.txt", text);
    write("future_q5q.q4q", v41);
    write("cut_q5q.q4q", cut);
    write("x.q9q", good);
    write("x.q5q", cut);
    write("sun.q9q", good);
    write("plain.q4q", cut);  // no q5q/q9q: not a refresh file

    open();
    setRadius(55);
    platform.filePath = folder + "any file";
    click(kIdCentreDot, DotClick::CtrlLeft);

    EXPECT_EQ(text, read("notes_q5q.txt"));
    EXPECT_EQ(v41, read("future_q5q.q4q"));
    EXPECT_EQ(cut, read("cut_q5q.q4q"));
    EXPECT_EQ(good, read("x.q9q"));
    EXPECT_EQ(cut, read("x.q5q"));
    EXPECT_EQ(cut, read("plain.q4q"));
    // The good one moved to its .q5q name, with its own settings.
    EXPECT_TRUE(read("sun.q9q").empty());
    std::unique_ptr<ParameterBlock> back(new ParameterBlock{});
    initialiseParameterBlock(*back);
    ASSERT_EQ(kPresetOk, loadPresetFile(back.get(), (folder + "sun.q5q").c_str(), kReadSettings, nullptr, nullptr));
    EXPECT_EQ(77, back->sunRadius);
    // The settings before the refresh are back, and the skip is reported.
    EXPECT_EQ(55, block->sunRadius);
    EXPECT_EQ("55", platform.boxes[86]);
    EXPECT_EQ("1 presets refreshed, 1 skipped (x.q9q)", model->statusText());
}

}  // namespace
}  // namespace lumenfall
