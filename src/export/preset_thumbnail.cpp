#include "export/preset_thumbnail.h"

#include "export/thumbnail_image.h"
#include "export/thumbnail_jpeg.h"
#include "render/resample_image.h"
#include "params/plugin_files.h"
#include "render/tiled_image.h"

namespace lumenfall {
namespace {

constexpr int32_t kPresetThumbnailSide = 128;

bool acceptIntoTiledImage(void* context, const uint8_t* jpeg, size_t size, int32_t width, int32_t height) {
    TiledImage* image = static_cast<TiledThumbnailTarget*>(context)->image;
    if (image == nullptr) return false;
    if (!createTiledImage(image, width, height, kStoreRgba8, 0, false)) return false;
    if (decodeThumbnailIntoImage(jpeg, size, image) != kThumbnailDecoded) {
        freeTiledImage(image);
        return false;
    }
    return true;
}

}  // namespace

std::vector<uint8_t> presetThumbnailBlock(const uint8_t* rgb128) {
    std::vector<uint8_t> block;
    try {
        encodeThumbnailJpeg(rgb128, kPresetThumbnailSide, kPresetThumbnailSide, block);
    } catch (...) {
        block.clear();  // the writer then stores "no thumbnail"
    }
    return block;
}

PresetThumbnailSink tiledThumbnailSink(TiledThumbnailTarget& target) {
    PresetThumbnailSink sink;
    sink.context = &target;
    sink.accept = acceptIntoTiledImage;
    return sink;
}

bool loadMemoryDotThumbnail(int32_t dot, int32_t side, const LanczosWeights& weights,
                            const BufferAllocator* buffers, TiledImage* image) {
    if (image == nullptr) return false;
    freeTiledImage(image);
    if (side < 1) return false;
    TiledImage stored;
    initTiledImage(stored, buffers, image->owner);
    TiledThumbnailTarget target{&stored};
    bool loaded = false;
    readMemoryDotThumbnail(dot, tiledThumbnailSink(target), &loaded);
    bool copied = false;
    if (loaded && createTiledImage(image, side, side, kStoreRgba8, 0, false)) {
        copyImage(&stored, image, weights);
        copied = true;
    }
    freeTiledImage(&stored);
    return copied;
}

}  // namespace lumenfall
