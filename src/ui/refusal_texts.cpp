#include "ui/plugin_dialogs.h"

namespace lumenfall {

const char* refusalText(Refusal which) {
    switch (which) {
        case Refusal::HostTooOld:
            return "The filter cannot run because your paint program does not support enough of "
                   "the Photoshop 3.0 plug-in standard.";
        case Refusal::Multichannel:
            return "Lumenfall cannot work on multichannel images. Convert the image to RGB or "
                   "grayscale and run the filter again.";
        case Refusal::ImageMode:
            return "Lumenfall works on RGB and grayscale images with 8 or 16 bits per channel. "
                   "Convert the image and run the filter again.";
    }
    return "";
}

}  // namespace lumenfall
