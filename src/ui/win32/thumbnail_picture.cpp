#include "ui/win32/thumbnail_picture.h"

#include "export/thumbnail.h"
#include "export/thumbnail_jpeg.h"

namespace lumenfall {
namespace {

bool acceptThumbnail(void* context, const uint8_t* jpeg, size_t size, int32_t width, int32_t height) {
    auto* picture = static_cast<BgrxPicture*>(context);
    ThumbnailPixels pixels;
    if (width < 1 || height < 1 || decodeThumbnailJpeg(jpeg, size, width, height, 4, pixels) != kThumbnailDecoded)
        return false;
    picture->width = pixels.width;
    picture->height = pixels.height;
    picture->bgrx.assign(size_t(pixels.width) * size_t(pixels.height) * 4, 0);
    for (size_t i = 0; i < size_t(pixels.width) * size_t(pixels.height); ++i) {
        picture->bgrx[i * 4 + 0] = pixels.pixels[i * 4 + 2];
        picture->bgrx[i * 4 + 1] = pixels.pixels[i * 4 + 1];
        picture->bgrx[i * 4 + 2] = pixels.pixels[i * 4 + 0];
    }
    return true;
}

}  // namespace

PresetThumbnailSink bgrxPictureSink(BgrxPicture& picture) {
    PresetThumbnailSink sink;
    sink.context = &picture;
    sink.accept = acceptThumbnail;
    return sink;
}

void fillRampPicture(BgrxPicture& picture) {
    Thumbnail ramp;
    fillThumbnailRamp(ramp);
    picture.width = picture.height = kThumbnailSide;
    picture.bgrx.assign(size_t(kThumbnailSide) * kThumbnailSide * 4, 0);
    for (int i = 0; i < kThumbnailSide * kThumbnailSide; ++i) {
        picture.bgrx[i * 4 + 0] = ramp.rgb[i * 3 + 2];
        picture.bgrx[i * 4 + 1] = ramp.rgb[i * 3 + 1];
        picture.bgrx[i * 4 + 2] = ramp.rgb[i * 3 + 0];
    }
}

void drawBgrxPicture(HDC dc, int left, int top, int width, int height, const BgrxPicture& picture) {
    if (picture.empty() || width <= 0 || height <= 0) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchDIBits(dc, left, top, width, height, 0, 0, picture.width, picture.height, picture.bgrx.data(), &info,
                  DIB_RGB_COLORS, SRCCOPY);
}

}  // namespace lumenfall
