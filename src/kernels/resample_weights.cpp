#include "kernels/resample_weights.h"

#include <cmath>

namespace lumenfall {

namespace {

constexpr double kPi = 3.141592653;
constexpr int32_t kSubSamples = 20;

double sinc(double x) {
    if (x == 0.0) return 1.0;
    return std::sin(kPi * x) / (kPi * x);
}

}  // namespace

double lanczos2(double x) {
    if (!(x > -2.0 && x < 2.0)) return 0.0;
    return sinc(x) * sinc(x / 2.0);
}

void fillLanczosWeights(float floats[kResamplePhases][kResampleTaps],
                        int32_t scaled2048[kResamplePhases][kResampleTaps],
                        int32_t scaled32768[kResamplePhases][kResampleTaps]) {
    for (int32_t i = 0; i < kResamplePhases; ++i) {
        const double p = i / 128.0 - 2.0;
        double a[kResampleTaps] = {0, 0, 0, 0, 0};
        // 20 sub-samples spread over 19/21 of a pixel box-integrate the kernel.
        for (int32_t s = 0; s < kSubSamples; ++s) {
            const double x = p - s / 21.0;
            for (int32_t k = 0; k < kResampleTaps; ++k) a[k] += lanczos2(x + k);
        }
        const double total = a[0] + a[1] + a[2] + a[3] + a[4];
        double w[kResampleTaps];
        for (int32_t k = 0; k < 4; ++k) w[k] = a[k] / total;
        w[4] = 1.0 - (w[0] + w[1] + w[2] + w[3]);

        int32_t sum2048 = 0;
        int32_t sum32768 = 0;
        for (int32_t k = 0; k < 4; ++k) {
            floats[i][k] = static_cast<float>(w[k]);
            scaled2048[i][k] = static_cast<int32_t>(w[k] * 2048.0);
            scaled32768[i][k] = static_cast<int32_t>(w[k] * 32768.0);
            sum2048 += scaled2048[i][k];
            sum32768 += scaled32768[i][k];
        }
        // The last tap takes the remainder, so each phase sums exactly.
        floats[i][4] = static_cast<float>(w[4]);
        scaled2048[i][4] = 2048 - sum2048;
        scaled32768[i][4] = 32768 - sum32768;
    }
}

const LanczosWeights& standardLanczosWeights() {
    struct Tables {
        float floats[kResamplePhases][kResampleTaps];
        int32_t scaled2048[kResamplePhases][kResampleTaps];
        int32_t scaled32768[kResamplePhases][kResampleTaps];
        Tables() { fillLanczosWeights(floats, scaled2048, scaled32768); }
    };
    static const Tables tables;
    static const LanczosWeights view{tables.floats, tables.scaled2048, tables.scaled32768};
    return view;
}

}  // namespace lumenfall
