// The dialog's 25 memory dots: each holds a complete set of settings with a
// thumbnail in the plug-in's own files; a kept flag (in the work block, saved
// in the memdot map) makes a dot survive to the next opening. Display states
// and the dot shown in the centre dot are rebuilt at every opening.
#ifndef LUMENFALL_UI_MEMORY_DOTS_H
#define LUMENFALL_UI_MEMORY_DOTS_H

#include <cstdint>
#include <vector>

#include "params/parameter_block.h"

namespace lumenfall {

constexpr int kMemoryDots = 25;

enum DotState : int16_t { kDotEmpty = 0, kDotFilled = 1, kDotCurrent = 2 };

// Where dots are kept: the kept flags and the dot files. The default files
// are the plug-in's own ("Lumenfall memory dot N.q4q").
class MemoryDotStore {
public:
    explicit MemoryDotStore(int32_t (&kept)[kMemoryDots]) : kept(kept) {}
    virtual ~MemoryDotStore() = default;
    // Results as for preset files (0 when it worked).
    virtual int32_t save(int dot, const ParameterBlock& block, const std::vector<uint8_t>* thumbnailBlock);
    virtual int32_t load(int dot, ParameterBlock& block);

    int32_t (&kept)[kMemoryDots];
};

// The dialog's view of the dots.
struct MemoryDotTable {
    int16_t state[kMemoryDots] = {};
    int shown = -1;     // the dot whose thumbnail the centre dot displays
    int selected = -1;  // the dot a click on the centre dot applies; set with `shown`
    int current = -1;   // the dot last stored or applied
};

// The 8 x 8 picture of a dot in the strip of dot pictures: empty, filled,
// filled and kept, current, current and kept, then the same five pressed.
constexpr int kDotPictureSide = 8;
constexpr int kDotPictureCount = 10;
int memoryDotPicture(int16_t state, bool kept, bool pressed);

// The centre dot: a 96 x 96 frame with the thumbnail inset by 4 pixels.
constexpr int kCentreFrameSide = 96;
constexpr int kCentreThumbnailSide = 88;
constexpr int kCentreThumbnailInset = 4;

// How a click on a dot was made: the button, and Ctrl with the left button.
enum class DotClick { Left, CtrlLeft, Right };

}  // namespace lumenfall

#endif
