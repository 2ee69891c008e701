// The ten quality rows of the JPEG writer. Row 8 (qualities 80..89, the one
// every picture of the program uses) is a fixed pair of fine tables; the
// other rows are the baseline example tables of the JPEG standard scaled to
// the row's quality (10 x row) the way the codec library scales them.
#include "export/jpeg_writer.h"

namespace lumenfall {

namespace {

constexpr uint16_t kRow8Luminance[64] = {
    2, 2, 2, 2, 3,  4,  5,  6,   //
    2, 2, 2, 2, 3,  4,  5,  6,   //
    2, 2, 2, 2, 4,  5,  7,  9,   //
    2, 2, 2, 4, 5,  7,  9,  12,  //
    3, 3, 4, 5, 8,  13, 12, 12,  //
    4, 4, 5, 7, 13, 12, 12, 12,  //
    5, 5, 7, 9, 12, 12, 12, 12,  //
    6, 6, 9, 12, 12, 12, 12, 12,
};

constexpr uint16_t kRow8Chrominance[64] = {
    3,  3,  5,  9,  10, 15, 15, 15,  //
    3,  4,  6,  13, 14, 12, 12, 12,  //
    5,  6,  9,  14, 12, 12, 12, 12,  //
    9,  13, 14, 12, 12, 12, 12, 12,  //
    10, 14, 12, 12, 12, 12, 12, 12,  //
    15, 12, 12, 12, 12, 12, 12, 12,  //
    15, 12, 12, 12, 12, 12, 12, 12,  //
    15, 12, 12, 12, 12, 12, 12, 12,
};

// The example tables of the JPEG standard (annex K), natural order.
constexpr uint16_t kStandardLuminance[64] = {
    16, 11, 10, 16, 24,  40,  51,  61,   //
    12, 12, 14, 19, 26,  58,  60,  55,   //
    14, 13, 16, 24, 40,  57,  69,  56,   //
    14, 17, 22, 29, 51,  87,  80,  62,   //
    18, 22, 37, 56, 68,  109, 103, 77,   //
    24, 35, 55, 64, 81,  104, 113, 92,   //
    49, 64, 78, 87, 103, 121, 120, 101,  //
    72, 92, 95, 98, 112, 100, 103, 99,
};

constexpr uint16_t kStandardChrominance[64] = {
    17, 18, 24, 47, 99, 99, 99, 99,  //
    18, 21, 26, 66, 99, 99, 99, 99,  //
    24, 26, 56, 99, 99, 99, 99, 99,  //
    47, 66, 99, 99, 99, 99, 99, 99,  //
    99, 99, 99, 99, 99, 99, 99, 99,  //
    99, 99, 99, 99, 99, 99, 99, 99,  //
    99, 99, 99, 99, 99, 99, 99, 99,  //
    99, 99, 99, 99, 99, 99, 99, 99,
};

// The codec library's percentage for a quality 1..100, and its rounding;
// values stay in 1..255 so every row remains baseline.
void scaleStandardTable(const uint16_t* standard, int32_t quality, uint16_t* out) {
    if (quality < 1) quality = 1;
    const int32_t percent = quality < 50 ? 5000 / quality : 200 - quality * 2;
    for (int i = 0; i < 64; ++i) {
        int32_t value = (standard[i] * percent + 50) / 100;
        if (value < 1) value = 1;
        if (value > 255) value = 255;
        out[i] = static_cast<uint16_t>(value);
    }
}

struct QualityRows {
    JpegQualityRow rows[10];
    QualityRows() {
        for (int32_t row = 0; row < 10; ++row) {
            JpegQualityRow& r = rows[row];
            r.lumaSampling = row <= 4 ? 2 : 1;
            if (row == 8) {
                for (int i = 0; i < 64; ++i) {
                    r.luminance[i] = kRow8Luminance[i];
                    r.chrominance[i] = kRow8Chrominance[i];
                }
            } else {
                scaleStandardTable(kStandardLuminance, row * 10, r.luminance);
                scaleStandardTable(kStandardChrominance, row * 10, r.chrominance);
            }
        }
    }
};

}  // namespace

const JpegQualityRow& jpegQualityRow(int32_t quality) {
    static const QualityRows table;
    if (quality < 0) quality = 0;
    if (quality > 99) quality = 99;
    return table.rows[quality / 10];
}

}  // namespace lumenfall
