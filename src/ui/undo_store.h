// The dialog's two-slot undo and the settings snapshots it keeps. The slots
// live in the work block for the plug-in's lifetime; a slot written with
// its file (kind 2) also exists as "Lumenfall undo 0" or "Lumenfall undo 1"
// in the plug-in's folder, and Undo reads that file back over the slot.
#ifndef LUMENFALL_UI_UNDO_STORE_H
#define LUMENFALL_UI_UNDO_STORE_H

#include <cstdint>

#include "params/parameter_block.h"

namespace lumenfall {

// Copies every user setting (directions, glue, seed, centre, colours, the
// integer settings and the preset name) and nothing else: control flags,
// render control values and derived tables stay as they are in `to`.
void copySettings(const ParameterBlock& from, ParameterBlock& to);

// Where the undo files go; the plug-in's own files by default. save tells
// whether the file was written; load changes the block only when the whole
// file was read, and tells whether it did.
class UndoFiles {
public:
    virtual ~UndoFiles() = default;
    virtual bool save(int slot, const ParameterBlock& block);
    virtual bool load(int slot, ParameterBlock& block);
};

enum UndoKind : int { kUndoNone = 0, kUndoMemory = 1, kUndoWithFile = 2 };

// The kind of snapshot a command takes, with the block already updated.
// Ids of memory dots and the centre dot answer none here: their kinds depend
// on the dots' state, which their own handling decides.
int undoKindOfCommand(int id);

// The pseudo-command of a placed centre or a fired typing timer.
constexpr int kPseudoCommandPreviewEdit = 777;

class UndoStore {
public:
    // `state` packs the latest slot (bit 0), the valid flags (bits 1, 2) and
    // the has-file flags (bits 3, 4); 0 is an empty store.
    UndoStore(ParameterBlock (&slots)[2], int32_t& state, UndoFiles& files)
        : slots_(slots), state_(state), files_(files) {}

    void snapshot(const ParameterBlock& block, int kind);
    // Back to the other slot; false (nothing changed) when it holds nothing.
    bool undo(ParameterBlock& block);

    int latest() const { return state_ & 1; }
    bool valid(int slot) const { return (state_ >> (1 + slot)) & 1; }
    bool hasFile(int slot) const { return (state_ >> (3 + slot)) & 1; }

private:
    void setFlag(int bit, bool on) { state_ = on ? (state_ | (1 << bit)) : (state_ & ~(1 << bit)); }
    ParameterBlock (&slots_)[2];
    int32_t& state_;
    UndoFiles& files_;
};

}  // namespace lumenfall

#endif
