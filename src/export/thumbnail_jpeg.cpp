#include "export/thumbnail_jpeg.h"

namespace lumenfall {

int32_t encodeThumbnailJpeg(const uint8_t* rgb, int32_t width, int32_t height,
                            std::vector<uint8_t>& out) {
    const Rgb8View view{rgb, width, height};
    const PictureSource picture = pictureFromRgb8(view);
    JpegOptions options;
    options.quality = kPictureQuality;
    return encodeJpegWithHeader(rgb != nullptr ? &picture : nullptr, options, out);
}

}  // namespace lumenfall
