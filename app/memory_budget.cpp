#include "memory_budget.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/resource.h>
#endif

namespace lumenfall {
namespace {

uint64_t g_limit = 0;

#if !defined(_WIN32)
// A number from the first line of a file ("max" and missing files: none).
uint64_t numberInFile(const char* path) {
    std::ifstream in(path);
    std::string word;
    if (!(in >> word) || word == "max") return 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(word.c_str(), &end, 10);
    return *end == 0 ? uint64_t(v) : 0;
}
#endif

uint64_t systemAvailable() {
    uint64_t available = std::numeric_limits<uint64_t>::max();
    auto lower = [&](uint64_t v) {
        if (v > 0 && v < available) available = v;
    };
#if defined(_WIN32)
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (GlobalMemoryStatusEx(&status)) {
        lower(status.ullAvailPhys + status.ullAvailPageFile / 2);
        lower(status.ullAvailVirtual);
    }
#else
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    uint64_t value = 0;
    std::string unit;
    while (meminfo >> key >> value) {
        std::getline(meminfo, unit);
        if (key == "MemAvailable:") lower(value * 1024);
    }
    // A control group's limit less what the group already uses.
    const uint64_t groupMax = numberInFile("/sys/fs/cgroup/memory.max");
    if (groupMax > 0) {
        const uint64_t used = numberInFile("/sys/fs/cgroup/memory.current");
        lower(groupMax > used ? groupMax - used : 1);
    }
    for (int resource : {RLIMIT_AS, RLIMIT_DATA}) {
        struct rlimit limit {};
        if (getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) lower(uint64_t(limit.rlim_cur));
    }
#endif
    return available;
}

}  // namespace

void setMemoryLimit(uint64_t bytes) { g_limit = bytes; }

uint64_t memoryBudget() {
    const uint64_t system = systemAvailable();
    return g_limit > 0 && g_limit < system ? g_limit : system;
}

bool parseMemorySize(const std::string& text, uint64_t* bytes) {
    if (text.empty()) return false;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || !std::isfinite(v) || v <= 0) return false;
    std::string unit(end);
    if (!unit.empty() && (unit.back() == 'B' || unit.back() == 'b')) unit.pop_back();
    double scale = 1;
    if (unit == "K" || unit == "k") scale = 1024.0;
    else if (unit == "M" || unit == "m") scale = 1024.0 * 1024;
    else if (unit == "G" || unit == "g") scale = 1024.0 * 1024 * 1024;
    else if (unit == "T" || unit == "t") scale = 1024.0 * 1024 * 1024 * 1024;
    else if (!unit.empty()) return false;
    const double total = v * scale;
    if (total < 1 || total > 1.8e19) return false;
    *bytes = uint64_t(total);
    return true;
}

std::string formatBytes(uint64_t bytes) {
    char text[32];
    if (bytes >= (1ull << 30)) std::snprintf(text, sizeof text, "%.1f GB", double(bytes) / double(1ull << 30));
    else if (bytes >= (1ull << 20)) std::snprintf(text, sizeof text, "%.0f MB", double(bytes) / double(1ull << 20));
    else std::snprintf(text, sizeof text, "%.0f KB", double(bytes) / 1024.0);
    return text;
}

bool fitsMemoryBudget(uint64_t bytes, const std::string& what, std::string* error) {
    const uint64_t budget = memoryBudget();
    if (bytes <= budget) return true;
    // Rounded figures that read the same would hide why it was refused.
    const bool exact = formatBytes(bytes) == formatBytes(budget);
    const std::string need = exact ? std::to_string(bytes) + " bytes" : "about " + formatBytes(bytes);
    const std::string have = exact ? std::to_string(budget) + " bytes" : formatBytes(budget);
    *error = "out of memory: " + what + " needs " + need + ", and " + have +
             (g_limit > 0 && g_limit <= budget ? " are allowed (--memory-limit)" : " are available");
    return false;
}

uint64_t renderBytes(int64_t width, int64_t height, int32_t samplesPerPixel, int32_t depth) {
    const uint64_t image = uint64_t(width) * uint64_t(height) * uint64_t(samplesPerPixel) * (depth == 16 ? 2u : 1u);
    return 2 * image + kRunAllowanceBytes;
}

}  // namespace lumenfall
