// Stands in for the sun element renderer while it is not linked: records the
// row jobs the driver runs. Weak, so the real renderer wins when present.
#include "kernels/sun_renderer.h"
#include "render_harness.h"

namespace lumenfall {

namespace test {
std::vector<RowCall>& rowCalls() {
    static std::vector<RowCall> calls;
    return calls;
}
}  // namespace test

__attribute__((weak)) void renderSunRow(const SunRowContext&, int32_t row, int32_t first,
                                        int32_t last, int32_t step) {
    test::rowCalls().push_back({row, first, last, step});
}

}  // namespace lumenfall
