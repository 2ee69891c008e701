// The file side of the dialog's save and open commands and of the folder
// prompt. The system dialogs that choose the path live with the dialog;
// these functions take the chosen path.
#ifndef LUMENFALL_PARAMS_SETTINGS_COMMANDS_H
#define LUMENFALL_PARAMS_SETTINGS_COMMANDS_H

#include <cstdint>
#include <vector>

#include "params/parameter_block.h"
#include "params/preset_format.h"

namespace lumenfall {

// The name the save dialog proposes: settingsName cut at its last '.'.
void proposedSaveName(const ParameterBlock& block, char (&name)[kPathFieldSize]);

// Stores the chosen file's name in settingsName and its folder (ending in a
// separator) in settingsFolder. A path that does not fit the 260-byte
// fields changes nothing and returns false: it is never cut into another name.
bool rememberChosenFile(ParameterBlock& block, const char* path);

// Save command after the dialog chose `path`: remember it, then save.
// kPresetCannotOpen for a path too long for the fields.
int32_t saveSettingsCommand(ParameterBlock& block, const char* path, const std::vector<uint8_t>* thumbnailBlock);

// Open command after the dialog chose `path`: remember it, reset the block
// to its defaults, then load the file in mode 0. A path too long for the
// fields gives kPresetCannotOpen and leaves the block as it was.
int32_t openSettingsCommand(ParameterBlock& block, const char* path, const PresetThumbnailSink* sink,
                            PresetLoadReport* report);

// Folder prompt after the user picked `path`: its folder, ending in a
// separator, into `folder` (260 bytes). False with no folder string, with no
// separator in the path, or when the folder does not fit.
bool folderOfChosenFile(const char* path, char* folder);

}  // namespace lumenfall

#endif
