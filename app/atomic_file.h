// The command's output files: the platform's ReplacingFile (a new file beside
// the target, renamed over it only when complete) with "-" for standard
// output and the messages a user reads when something fails.
#ifndef LUMENFALL_APP_ATOMIC_FILE_H
#define LUMENFALL_APP_ATOMIC_FILE_H

#include <cstdio>
#include <string>

#include "platform/replacing_file.h"

namespace lumenfall {

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();  // removes a file that was never committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the new file for `target`; "-" writes to standard output
    // directly. False with a message when the folder does not exist, is not
    // writable, or the target is a folder or a device.
    bool open(const std::string& target, std::string* error);
    std::FILE* stream() const { return toStdout_ ? stdout : file_.stream(); }

    // Flushes, closes and renames the new file over the target. False with a
    // message (the new file removed, the target unchanged) when any of it fails.
    bool commit(std::string* error);

    // Closes and removes the new file.
    void abandon();

private:
    std::string target_;
    ReplacingFile file_;
    bool toStdout_ = false;
};

// Writes `text` to `target` through an OutputFile.
bool writeTextFile(const std::string& target, const std::string& text, std::string* error);

// True when the two paths name the same file: the same file on the disk when
// both exist, else the same absolute path.
bool sameFile(const std::string& a, const std::string& b);

}  // namespace lumenfall

#endif
