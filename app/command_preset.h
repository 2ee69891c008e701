// `lumenfall preset`: show, save and roll preset files, and the preset
// option of `render`.
#ifndef LUMENFALL_APP_COMMAND_PRESET_H
#define LUMENFALL_APP_COMMAND_PRESET_H

#include <cstdio>
#include <string>
#include <vector>

#include "image.h"
#include "params/parameter_block.h"

namespace lumenfall {

// The words after "preset". Exit codes as for the other commands.
int runPresetCommand(const std::vector<std::string>& args);
void printPresetUsage(std::FILE* to);

// The 128 x 128 thumbnail block of `block` rendered through the plug-in at
// `pluginPath` on `picture`: the largest centred square of the result,
// scaled with the resampler, as JPEG. False with a message on failure.
bool renderPresetThumbnail(const ParameterBlock& block, const Image& picture, const std::string& pluginPath,
                           std::vector<uint8_t>* thumbnailBlock, std::string* error);

// The text `preset show` prints for a loaded block.
std::string describePreset(const ParameterBlock& block, int32_t version, const std::string& thumbnailLine);

}  // namespace lumenfall

#endif
