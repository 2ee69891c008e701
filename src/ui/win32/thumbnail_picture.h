// A preset's stored thumbnail as a picture GDI can draw: decoded from the
// preset's JPEG into 32-bit BGRX rows, and drawn scaled into a rectangle.
// The open dialog's panel and the main dialog's centre dot use it.
#ifndef LUMENFALL_UI_WIN32_THUMBNAIL_PICTURE_H
#define LUMENFALL_UI_WIN32_THUMBNAIL_PICTURE_H

#include <windows.h>

#include <cstdint>
#include <vector>

#include "params/preset_format.h"

namespace lumenfall {

// Top row first, 4 bytes a pixel (blue, green, red, unused); empty for none.
struct BgrxPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> bgrx;
    bool empty() const { return bgrx.empty(); }
    void clear() { *this = BgrxPicture{}; }
};

// A preset reader's sink that decodes the stored thumbnail into `picture`
// (left as it was when the thumbnail does not decode).
PresetThumbnailSink bgrxPictureSink(BgrxPicture& picture);

// The 128 x 128 grey ramp that stands for a missing thumbnail.
void fillRampPicture(BgrxPicture& picture);

// Draws the whole picture scaled into width x height at (left, top).
void drawBgrxPicture(HDC dc, int left, int top, int width, int height, const BgrxPicture& picture);

}  // namespace lumenfall

#endif
