// The two resources that describe the plug-in to a host: the property list
// (PiPL: kind, menu name, entry point, modes, filter cases, terminology
// reference) and the scripting terminology (AETE: the event with one
// parameter per setting and the two enumerations). Both are built as the
// exact bytes of the Windows resources from the settings table, so the
// terminology cannot drift from the settings. A build-time tool writes them
// into files that the resource script includes verbatim.
#ifndef LUMENFALL_PARAMS_PLUGIN_RESOURCES_H
#define LUMENFALL_PARAMS_PLUGIN_RESOURCES_H

#include <cstdint>
#include <vector>

namespace lumenfall {

constexpr int kPluginResourceId = 16000;  // PiPL and AETE; also the terminology id

constexpr const char* kPluginMenuName = "Lumenfall...";
constexpr const char* kPluginCategory = "Orvandel";
constexpr const char* kPluginEntryPoint = "PluginMain";
constexpr const char* kTerminologyScope = "Orvandel Lumenfall";
constexpr const char* kSuiteName = "Orvandel";
constexpr const char* kSuiteDescription = "Lumenfall";
constexpr const char* kEventName = "Lumenfall";
constexpr const char* kEventDescription = "Draws fantasy suns";
constexpr uint32_t kSuiteCode = 0x4C6D666C;  // 'Lmfl': suite, event class and event id

// Offered for 8- and 16-bit RGB and grayscale documents. The trailing space
// is part of the published expression.
constexpr const char* kEnableExpression =
    "in (PSHOP_ImageMode, RGBMode, GrayScaleMode, RGB48Mode, Gray16Mode) ";

// Terminology flag words (first flag is bit 15).
constexpr uint16_t kAeteFlagOptional = 0x8000;
constexpr uint16_t kAeteFlagOptionalEnumerated = 0xA000;
constexpr uint16_t kAeteFlagImageDirectParameter = 0xB000;

// Little-endian bytes of the resources as a Windows host reads them.
std::vector<uint8_t> buildPipl();
std::vector<uint8_t> buildAete();

}  // namespace lumenfall

#endif
