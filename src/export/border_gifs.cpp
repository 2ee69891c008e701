#include "export/border_gifs.h"

#include <cstdio>
#include <string>

#include "export/border_gifs_data.h"
#include "platform/replacing_file.h"

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
        // Each frame image appears whole or not at all, also on a full disk.
        const int32_t written = writeFileReplacing(path.c_str(), gif.bytes, gif.size);
        if (written == kFileCannotOpen) result = 99;
        else if (written != kFileOk && result == 0) result = -20;
    }
    return result;
}

}  // namespace lumenfall
