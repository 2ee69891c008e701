#include "export/border_gifs.h"

#include <cstdio>
#include <string>

#include "export/border_gifs_data.h"

namespace lumenfall {

const BorderGif* borderGif(int32_t index) {
    static const BorderGif kBorders[kBorderGifCount] = {
        {"top.gif", 94, 2, kTopGif, kTopGifSize},
        {"left.gif", 3, 88, kLeftGif, kLeftGifSize},
        {"right.gif", 3, 88, kRightGif, kRightGifSize},
        {"bottom.gif", 94, 5, kBottomGif, kBottomGifSize},
    };
    if (index < 0 || index >= kBorderGifCount) return nullptr;
    return &kBorders[index];
}

int32_t writeBorderGifs(const char* folder) {
    if (folder == nullptr) return 99;
    int32_t result = 0;
    for (int32_t i = 0; i < kBorderGifCount; ++i) {
        const BorderGif& gif = *borderGif(i);
        const std::string path = std::string(folder) + gif.fileName;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr) {
            result = 99;
            continue;
        }
        const bool written = std::fwrite(gif.bytes, 1, gif.size, file) == gif.size;
        const bool closed = std::fclose(file) == 0;
        if ((!written || !closed) && result == 0) result = -20;
    }
    return result;
}

}  // namespace lumenfall
