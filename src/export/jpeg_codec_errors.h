// The error manager every codec object of ours gets: the library's default
// one ends the process, this one jumps back to the call that started the
// work (its jump buffer set there) and notes warnings as damaged data.
#ifndef LUMENFALL_EXPORT_JPEG_CODEC_ERRORS_H
#define LUMENFALL_EXPORT_JPEG_CODEC_ERRORS_H

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace lumenfall {
namespace jpeg_errors {

struct ErrorHandler {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    bool warned;  // the library reported damaged data and carried on
};

// Sets up `handler`: errors jump to handler.jump, nothing is ever printed.
void installErrorHandler(ErrorHandler& handler);

}  // namespace jpeg_errors
}  // namespace lumenfall

#endif
