// Names from files through the page's escapers and the picture-name
// sanitiser: nothing of a name may become markup, a src must decode back to
// the file name, and no two pictures of a page may share a file.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "export/html_page.h"

using namespace lumenfall;

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

int hexValue(char c) { return c >= '0' && c <= '9' ? c - '0' : (c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string name(reinterpret_cast<const char*>(data), size);

    const std::string text = escapeEntities(name);
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        check(c != '<' && c != '>' && c != '"' && c < 123);
        if (c == '&') {
            const size_t end = text.find(';', i);
            check(end != std::string::npos && end - i <= 8);
        }
    }

    const std::string safe = sanitiseFileName(name);
    check(safe.size() == name.size());
    for (unsigned char c : safe) check(c >= 32 && c != '/' && c != '\\' && c != ':');

    const std::string url = escapeUrl(safe);
    std::string decoded;
    for (size_t i = 0; i < url.size(); ++i) {
        if (url[i] == '%') {
            check(i + 2 < url.size());
            const int hi = hexValue(url[i + 1]), lo = hexValue(url[i + 2]);
            check(hi >= 0 && lo >= 0);
            decoded += char(hi * 16 + lo);
            i += 2;
        } else {
            check((url[i] >= 'a' && url[i] <= 'z') || (url[i] >= 'A' && url[i] <= 'Z') || (url[i] >= '0' && url[i] <= '9'));
            decoded += url[i];
        }
    }
    check(decoded == safe);

    // The input split at zero bytes is a page's list of names.
    HtmlPageWriter page;
    std::set<std::string> files;
    size_t start = 0;
    for (size_t i = 0; i <= size; ++i) {
        if (i < size && data[i] != 0) continue;
        std::string chosen;
        const std::string path = page.reservePicture(name.substr(start, i - start), &chosen);
        std::string lower = path;
        for (char& c : lower) c = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
        check(files.insert(lower).second);
        check(chosen.find('/') == std::string::npos && chosen.find('\\') == std::string::npos);
        start = i + 1;
    }
    return 0;
}
