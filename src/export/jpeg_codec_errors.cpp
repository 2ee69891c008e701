#include "export/jpeg_codec_errors.h"

namespace lumenfall {
namespace jpeg_errors {
namespace {

[[noreturn]] void jumpOnError(j_common_ptr codec) {
    ErrorHandler* handler = reinterpret_cast<ErrorHandler*>(codec->err);
    std::longjmp(handler->jump, 1);
}

// Warnings (level -1) mark the data as damaged; trace messages are ignored.
// Nothing is ever printed.
void noteMessage(j_common_ptr codec, int level) {
    if (level < 0) reinterpret_cast<ErrorHandler*>(codec->err)->warned = true;
}

void printNothing(j_common_ptr) {}

}  // namespace

void installErrorHandler(ErrorHandler& handler) {
    jpeg_std_error(&handler.manager);
    handler.manager.error_exit = jumpOnError;
    handler.manager.emit_message = noteMessage;
    handler.manager.output_message = printNothing;
    handler.warned = false;
}

}  // namespace jpeg_errors
}  // namespace lumenfall
