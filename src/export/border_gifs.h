// The four small GIF images that draw a soft shadow frame around each
// picture of an HTML page. They are built into the program as complete
// files (made by scripts/make_border_gifs.py) and written byte for byte.
#ifndef LUMENFALL_EXPORT_BORDER_GIFS_H
#define LUMENFALL_EXPORT_BORDER_GIFS_H

#include <cstddef>
#include <cstdint>

namespace lumenfall {

struct BorderGif {
    const char* fileName;     // "top.gif", "left.gif", "right.gif", "bottom.gif"
    int32_t width;
    int32_t height;
    const uint8_t* bytes;     // the whole file, ending with the trailer byte
    size_t size;
};

constexpr int32_t kBorderGifCount = 4;

// Index 0 top, 1 left, 2 right, 3 bottom; null outside 0..3.
const BorderGif* borderGif(int32_t index);

// Writes the four files into a folder whose path ends in a separator.
// Returns 0, 99 when a file cannot be opened, -20 when a write fails
// (the other files are still written).
int32_t writeBorderGifs(const char* folder);

}  // namespace lumenfall

#endif
