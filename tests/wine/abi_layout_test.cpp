// Checks, at run time, every offset, member size, record size and alignment
// of our host interface declaration against the layout measured on 64-bit
// Windows (abi_layout.csv). Built for Windows and run under wine; the native
// build runs it too, which shows that the Linux module and host see the same
// layout.
#include <cstddef>
#include <cstdio>

#include "host/pi_abi.h"

namespace {

int g_checked = 0;
int g_failed = 0;

void checkField(const char* record, const char* field, size_t offset, size_t size, size_t wantOffset,
                size_t wantSize) {
    ++g_checked;
    if (offset == wantOffset && size == wantSize) return;
    ++g_failed;
    std::printf("MISMATCH %s.%s: offset %zu size %zu, expected offset %zu size %zu\n", record, field, offset, size,
                wantOffset, wantSize);
}

void checkRecord(const char* record, size_t size, size_t alignment, size_t wantSize, size_t wantAlignment) {
    ++g_checked;
    if (size == wantSize && alignment == wantAlignment) return;
    ++g_failed;
    std::printf("MISMATCH sizeof(%s) %zu align %zu, expected %zu align %zu\n", record, size, alignment, wantSize,
                wantAlignment);
}

void skippedRecord(const char* record) { std::printf("not declared (resource data or unused): %s\n", record); }

}  // namespace

int main() {
#include "abi_layout_checks.inc"
    std::printf("%d layout facts checked, %d mismatches\n", g_checked, g_failed);
    return g_failed == 0 && g_checked > 200 ? 0 : 1;
}
