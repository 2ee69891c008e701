// The system's temporary folder, where the plug-in keeps its own files
// (cached settings, memory dots and their map, undo snapshots).
#ifndef LUMENFALL_PLATFORM_TEMP_FOLDER_H
#define LUMENFALL_PLATFORM_TEMP_FOLDER_H

#include <cstddef>

namespace lumenfall {

// Writes the temporary folder, ending in a separator, into `folder`
// (zero-terminated). Windows asks the system and falls back to
// "C:\Windows\Temp\"; elsewhere $TMPDIR, or /tmp/ when it is unset or empty,
// gets a trailing '/' when it lacks one. Returns false, with `folder`
// emptied, when the folder does not fit `capacity` bytes: a longer path is
// never cut into the name of another folder.
bool temporaryFolder(char* folder, size_t capacity);

// Appends `name` to `folder` into `path`; false (path emptied) when the
// result does not fit `capacity` bytes.
bool joinPath(const char* folder, const char* name, char* path, size_t capacity);

}  // namespace lumenfall

#endif
