// Records the row jobs the driver runs, in place of the sun element renderer.
#include "kernels/sun_renderer.h"
#include "render_harness.h"

namespace lumenfall::test {

std::vector<RowCall>& rowCalls() {
    static std::vector<RowCall> calls;
    return calls;
}

void recordRowCall(const SunRowContext&, int32_t row, int32_t first, int32_t last, int32_t step) {
    rowCalls().push_back({row, first, last, step});
}

}  // namespace lumenfall::test
