#include "filter_rect_option.h"

#include <cerrno>
#include <cstdlib>

namespace lumenfall {
namespace {

// A whole number 0..32767 (the host's edges are 16-bit) up to `end`.
bool readEdge(const char*& at, char end, int32_t* value) {
    if (*at < '0' || *at > '9') return false;
    char* stop = nullptr;
    errno = 0;
    const long v = std::strtol(at, &stop, 10);
    if (errno != 0 || *stop != end || v > 32767) return false;
    *value = int32_t(v);
    at = stop + (end ? 1 : 0);
    return true;
}

}  // namespace

bool parseFilterRect(const std::string& text, FilterRectOption* rect, std::string* error) {
    FilterRectOption read;
    const char* at = text.c_str();
    if (!readEdge(at, ',', &read.x) || !readEdge(at, ',', &read.y) || !readEdge(at, ',', &read.width) ||
        !readEdge(at, '\0', &read.height)) {
        *error = "--rect takes X,Y,W,H in whole pixels, for example --rect 10,20,300,200";
        return false;
    }
    if (read.width < 1 || read.height < 1) {
        *error = "--rect " + text + " is empty: its width and height must be at least 1";
        return false;
    }
    read.given = true;
    *rect = read;
    return true;
}

bool filterRectFits(const FilterRectOption& rect, int32_t width, int32_t height, std::string* error) {
    if (!rect.given) return true;
    if (int64_t(rect.x) + rect.width <= width && int64_t(rect.y) + rect.height <= height) return true;
    *error = "--rect " + std::to_string(rect.x) + "," + std::to_string(rect.y) + "," + std::to_string(rect.width) +
             "," + std::to_string(rect.height) + " is not inside the " + std::to_string(width) + "x" +
             std::to_string(height) + " picture";
    return false;
}

pi::Rect filterRectFor(const FilterRectOption& rect, int32_t width, int32_t height) {
    if (!rect.given) return pi::Rect{0, 0, int16_t(height), int16_t(width)};
    return pi::Rect{int16_t(rect.y), int16_t(rect.x), int16_t(rect.y + rect.height), int16_t(rect.x + rect.width)};
}

}  // namespace lumenfall
