// Reads the X server's screen from an XWD file (what Xvfb keeps live with
// -fbdir), so our host can take pictures of its dialogs as they are on the
// screen: under wine a picture taken inside the process shows only the
// dialog's background.
#ifndef LUMENFALL_APP_XWD_PICTURE_H
#define LUMENFALL_APP_XWD_PICTURE_H

#include <cstdint>
#include <string>
#include <vector>

#include "image.h"

namespace lumenfall {

// The rectangle (left, top, width, height) of a TrueColor XWD image of 24
// or 32 bits per pixel as an 8-bit RGB image; parts outside the screen are
// black. False with a message for other files.
bool cropXwd(const std::vector<uint8_t>& xwd, int left, int top, int width, int height, Image* out,
             std::string* error);

}  // namespace lumenfall

#endif
