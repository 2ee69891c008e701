// --rect X,Y,W,H: the rectangle of the picture the host hands the plug-in as
// its filter rectangle, as an editor with a rectangular selection does. The
// plug-in sees the whole image around it; pixels outside stay as they were.
#ifndef LUMENFALL_APP_FILTER_RECT_OPTION_H
#define LUMENFALL_APP_FILTER_RECT_OPTION_H

#include <cstdint>
#include <string>

#include "host/pi_abi.h"

namespace lumenfall {

struct FilterRectOption {
    bool given = false;
    int32_t x = 0, y = 0;          // the top-left pixel
    int32_t width = 0, height = 0;
};

// Reads "X,Y,W,H" (whole numbers, W and H at least 1); false with a message otherwise.
bool parseFilterRect(const std::string& text, FilterRectOption* rect, std::string* error);

// Whether the rectangle lies inside a picture of this size (one not given
// always does); false with a message otherwise.
bool filterRectFits(const FilterRectOption& rect, int32_t width, int32_t height, std::string* error);

// The host's filter rectangle for a picture of this size: the given one,
// or the whole picture.
pi::Rect filterRectFor(const FilterRectOption& rect, int32_t width, int32_t height);

}  // namespace lumenfall

#endif
