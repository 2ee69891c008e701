#include "ui/psd_export_port.h"

namespace lumenfall {

int32_t psdExportPercent(int32_t pass, int32_t passes, int32_t row, int32_t rows) {
    const int64_t total = int64_t(passes) * int64_t(rows);
    if (total <= 0) return 0;
    return int32_t((int64_t(pass) * int64_t(rows) + int64_t(row)) * 100 / total);
}

}  // namespace lumenfall
