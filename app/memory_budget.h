// The memory a run may use, checked before every large allocation: the
// memory the system has available (and any limit set on this process or
// its control group), or --memory-limit when that is lower.
#ifndef LUMENFALL_APP_MEMORY_BUDGET_H
#define LUMENFALL_APP_MEMORY_BUDGET_H

#include <cstdint>
#include <string>

namespace lumenfall {

// A render holds the input and the output image (the plug-in's own buffers
// are a few rows), so its budget is twice the image's samples plus this
// allowance for the row buffers of the codecs and the band protocol.
constexpr uint64_t kRunAllowanceBytes = 64ull << 20;

// Sets the limit given on the command line (0: none).
void setMemoryLimit(uint64_t bytes);

// The bytes the command may use.
uint64_t memoryBudget();

// Reads "512M", "2G", "1.5G", "800000000" (bytes; K, M, G, T are powers of 1024).
bool parseMemorySize(const std::string& text, uint64_t* bytes);

// "1.2 GB"
std::string formatBytes(uint64_t bytes);

// False with a message starting "out of memory" when `bytes` (what the
// command needs for `what`, a text such as "a 30000 x 30000 RGB 8-bit
// image") does not fit the budget.
bool fitsMemoryBudget(uint64_t bytes, const std::string& what, std::string* error);

// The bytes a render of a width x height image with `samplesPerPixel`
// samples of `depth` bits needs: the input, the output and the allowance.
uint64_t renderBytes(int64_t width, int64_t height, int32_t samplesPerPixel, int32_t depth);

}  // namespace lumenfall

#endif
