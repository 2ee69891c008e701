// The library of presets that ships with the program, and finding a preset
// in it by name (`lumenfall preset list`, `--preset NAME`).
#ifndef LUMENFALL_APP_PRESET_LIBRARY_H
#define LUMENFALL_APP_PRESET_LIBRARY_H

#include <string>
#include <vector>

namespace lumenfall {

// The library's folder, ending in a separator; empty when there is none.
// In order: $LUMENFALL_PRESETS; "presets" beside the program (the Windows
// archive); share/lumenfall/presets of the installed tree (the program in
// <prefix>/lib/lumenfall, reached from <prefix>/bin by a link); the
// repository's presets/ for a program run from its own build tree.
std::string presetLibraryFolder();

// The names (file names without ".q4q") of the library's presets, sorted.
std::vector<std::string> presetLibraryNames(const std::string& folder);

// What `--preset WORD` opens: WORD itself when such a file exists or WORD
// is plainly a path (a separator or the .q4q ending); otherwise the library
// preset of that name when there is one, and WORD unchanged when not, so
// the error names what the user typed.
std::string resolvePresetArgument(const std::string& word);

// `lumenfall preset list`: the library's names, one a line.
int runPresetList(const std::vector<std::string>& args);

}  // namespace lumenfall

#endif
