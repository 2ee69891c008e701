// Output files that replace their target only when they are complete. The
// bytes go to a new file beside the target (same folder, so the final rename
// never crosses file systems); commit() flushes it to the disk and renames it
// over the target. Until then, and after any failure or a cancel, the target
// is untouched and the new file is removed.
#ifndef LUMENFALL_APP_ATOMIC_FILE_H
#define LUMENFALL_APP_ATOMIC_FILE_H

#include <cstdio>
#include <string>

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
    std::FILE* stream() const { return stream_; }

    // Flushes, closes and renames the new file over the target. False with a
    // message (the new file removed, the target unchanged) when any of it fails.
    bool commit(std::string* error);

    // Closes and removes the new file.
    void abandon();

private:
    std::string target_;
    std::string temporary_;
    std::FILE* stream_ = nullptr;
    bool toStdout_ = false;
    int slot_ = -1;
};

// Writes `text` to `target` through an OutputFile.
bool writeTextFile(const std::string& target, const std::string& text, std::string* error);

// Removes every new file not yet committed. Safe to call from a signal
// handler (it only unlinks names recorded beforehand).
void removeUncommittedFiles();

// True when the two paths name the same file: the same file on the disk when
// both exist, else the same absolute path.
bool sameFile(const std::string& a, const std::string& b);

}  // namespace lumenfall

#endif
