// The undo store on its own: which commands take a snapshot, and a load's
// snapshot coming back from its file.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "params/defaults.h"
#include "ui/control_table.h"
#include "ui/fake_platform.h"
#include "ui/undo_store.h"

namespace lumenfall {
namespace {

TEST(UndoStore, CommandsThatChangeNoSettingTakeNoSnapshot) {
    for (int id : {kIdSave, kIdUndo, kIdZoomIn, kIdZoomOut, kIdPresetsPage})
        EXPECT_EQ(undoKindOfCommand(id), kUndoNone) << id;
    EXPECT_EQ(undoKindOfCommand(kIdLoad), kUndoWithFile);
    EXPECT_EQ(undoKindOfCommand(kPseudoCommandPreviewEdit), kUndoMemory);
}

// The slots live with the run; the file of a load's snapshot is what
// brings it back when the slot in memory no longer holds it.
TEST(UndoStore, ALoadsSnapshotComesBackFromItsFile) {
    std::unique_ptr<ParameterBlock[]> slots{new ParameterBlock[2]{}};
    auto& pair = *reinterpret_cast<ParameterBlock(*)[2]>(slots.get());
    int32_t state = 0;
    MemoryUndoFiles files;
    UndoStore undo(pair, state, files);
    std::unique_ptr<ParameterBlock> block{new ParameterBlock{}};
    initialiseParameterBlock(*block);
    block->sunRadius = 42;
    undo.snapshot(*block, kUndoWithFile);
    const int loaded = undo.latest();
    ASSERT_TRUE(undo.hasFile(loaded));
    block->sunRadius = 77;
    undo.snapshot(*block, kUndoMemory);
    ASSERT_FALSE(undo.hasFile(undo.latest()));
    pair[loaded].sunRadius = 5;  // the memory copy lost
    ASSERT_TRUE(undo.undo(*block));
    EXPECT_EQ(block->sunRadius, 42);
}

}  // namespace
}  // namespace lumenfall
