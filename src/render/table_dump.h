// A text dump of every table a render plan holds, so that two builds
// (native and Windows) can be compared table by table.
#ifndef LUMENFALL_RENDER_TABLE_DUMP_H
#define LUMENFALL_RENDER_TABLE_DUMP_H

#include <cstdint>
#include <string>

#include "params/parameter_block.h"

namespace lumenfall {

// Builds every table for `settings` on a width x height area (renderScale
// from the settings, at least 1) and returns them as text: one line per
// scalar or table, integers in decimal, floats in hexadecimal notation.
std::string dumpRenderTables(const ParameterBlock& settings, int32_t width, int32_t height);

}  // namespace lumenfall

#endif
