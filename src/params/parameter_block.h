// The parameter block: every setting of a sun, the control flags of a run,
// and the tables a render derives from the settings before each
// render. It is a plain record of fixed layout that lives in the host's
// parameter handle between runs.
#ifndef LUMENFALL_PARAMS_PARAMETER_BLOCK_H
#define LUMENFALL_PARAMS_PARAMETER_BLOCK_H

#include <cstdint>

namespace lumenfall {

constexpr int kPathFieldSize = 260;
constexpr int kChannelRed = 0;
constexpr int kChannelGreen = 1;
constexpr int kChannelBlue = 2;

// Render targets of a render (renderTarget).
enum RenderTarget : uint32_t {
    kTargetHostImage = 0,    // final render into the host image
    kTargetHostPreview = 1,  // through the host's buffers while the dialog shows the rows
    kTargetTiledImage = 2,   // into the dialog's tiled image
};

enum SunType : int32_t { kSunNormal = 1, kSunFlat = 2, kSunEclipse = 3 };

enum GlueMode : int32_t {
    kGlueNormal = 1, kGlueProceduralPlus, kGlueProceduralMinus, kGlueDifference, kGlueLighten,
    kGlueDarken, kGlueAdd, kGlueSubtract, kGlueMultiply, kGlueScreen, kGlueComposite,
    kGlueHardLight, kGlueOverlay, kGlueSuperlay, kGlueExclusion, kGlueColor, kGlueLuminance,
    kGlueLinearLight, kGluePinLight,
};
constexpr int kGlueModeCount = 19;

// Values and tables derived from the settings before every render. They are
// not settings: presets and descriptors never carry them. A render reads
// them from its plan (render/render_plan.h); the host copies the plan's
// values here after building it, where the dialog finds them.
struct DerivedValues {
    int32_t spikeOffsetAngle;
    int32_t flareOffsetAngle;
    float spikeOffsetLength;
    float flareOffsetLength;
    int32_t smearStride;
    int32_t detailLevel;
    int32_t swirlRadius;
    int32_t swirlStrength;
    int32_t haloCurves[3][256];
    int32_t flareCurves[3][256];
    int32_t sunCurves[3][256];
    int32_t smoothstepTable[512];
    int16_t swirlCentresX[100];
    int16_t swirlCentresY[100];
};

struct ParameterBlock {
    // 1. control flags
    uint32_t showDialog;        // 1 = run the dialog at the next start
    uint8_t hostPreview;        // host offers advanceState and displayPixels
    uint8_t dialogFlags[3];     // dialog view flags
    int32_t previewZoom;        // dialog view state: preview zoom and scroll
    int32_t previewScrollX;
    int32_t previewScrollY;
    int32_t dialogViewReserved[4];

    // 2. direction vectors; the names are the scripting names, which are
    // crosswise to their use (flareX/Y steer the spikes, spikeX/Y the flares)
    float flareX, flareY, flareZ;
    float spikeX, spikeY, spikeZ;

    // 3. scratch value (descriptor value or file marker), not a setting
    int32_t scratch;

    // 4.
    int32_t glue;

    // 5. render control
    int32_t renderScale;
    uint32_t renderTarget;
    int32_t renderMode;
    int32_t viewOriginX;
    int32_t viewOriginY;

    // 6.
    int32_t randomSeed;

    // 7. sun centre in pixels, derived from xCenter/yCenter with the plan
    int32_t centerX;
    int32_t centerY;

    // 8. sun centre as fractions of the filter rectangle
    float xCenter;
    float yCenter;

    // 9. colours: 16-bit channels holding the 8-bit colour in the high byte
    uint16_t sunColor[3];
    uint16_t flareColor[3];
    uint16_t haloColor[3];
    uint16_t reservedColorA[3];
    uint16_t spikeColor[3];
    uint16_t reservedColorB[3];

    // 10. integer settings
    int32_t spikeBrightness;
    int32_t spikeWidth;
    int32_t spikeRadius;
    int32_t spikeCount;
    int32_t sunRadius;
    int32_t sunColdHot;
    int32_t sunSmear;
    int32_t sunSwirlSize;
    int32_t sunSwirlCount;
    int32_t sunDetail;
    int32_t spikeGamma;
    int32_t vortices;
    int32_t monopoles;
    int32_t sunType;
    int32_t haloRadius;
    int32_t haloBrightness;
    int32_t bowRadius;
    int32_t bowWidth;
    int32_t bowBrightness;
    int32_t bowSmear;
    int32_t flareRadius;
    int32_t flareWidth;
    int32_t flareCount;
    int32_t masterBrightness;
    int32_t flareDetail;
    int32_t flareBrightness;
    int32_t flipBow;
    int32_t spikeDiffraction;
    int32_t spikeDetail;

    // 11. derived values and tables
    DerivedValues derived;

    // 12. export options of the PSD export, and the export format
    int32_t exportOptions[5];
    int32_t exportFormat;

    // 13. last folders of settings files, PSD export and HTML export
    char settingsFolder[kPathFieldSize];
    char psdFolder[kPathFieldSize];
    char htmlFolder[kPathFieldSize];

    // 14. flag of the HTML export
    uint8_t htmlExportFlag;

    // 15. current settings file name
    char settingsName[kPathFieldSize];

    // 16. strings of the dialog and the exports
    char extraStrings[3][kPathFieldSize];
    int32_t extraField;
};

// Booleans are stored as 32-bit values but only their low byte counts.
inline bool switchOn(int32_t field) { return (field & 0xFF) != 0; }

// The 8-bit colour held in a 16-bit channel.
inline int colourHighByte(uint16_t channel) { return channel >> 8; }

}  // namespace lumenfall

#endif
