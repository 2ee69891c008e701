// The record of new files in flight behind removeUnfinishedFiles: fixed
// storage, so that a signal handler reads it without allocating or locking.
#ifndef LUMENFALL_PLATFORM_UNFINISHED_FILES_H
#define LUMENFALL_PLATFORM_UNFINISHED_FILES_H

#include <string>

namespace lumenfall {

// Records a new file; the slot to release, or -1 when the record is full
// (the file is then written unrecorded).
int recordUnfinishedFile(const std::string& path);
void releaseUnfinishedFile(int slot);

// Deletes one file from inside a signal handler (each OS has its own call).
void deleteFileInSignal(const char* path);

}  // namespace lumenfall

#endif
