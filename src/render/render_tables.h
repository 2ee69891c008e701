// The lookup tables built from the settings before every render. Each
// builder reads the settings and writes one table; buildRenderPlan
// (render/render_plan.h) calls them in order.
#ifndef LUMENFALL_RENDER_RENDER_TABLES_H
#define LUMENFALL_RENDER_RENDER_TABLES_H

#include <cstdint>

#include "params/parameter_block.h"
#include "kernels/sun_tables.h"

namespace lumenfall {

constexpr int kSpikeProfileEntries = 301;
constexpr int kFlareAngleEntries = 101;
constexpr int kSpikeAxisCount = 256;
constexpr int kSmoothstepEntries = 512;
constexpr int kSwirlCentreCount = 100;
constexpr int kFullTurn = 16384;      // angle units of the effect
// Curve entries are kept within this bound so that the renderer's 7-bit
// interpolation (entry * 128) stays inside 32 bits.
constexpr int32_t kCurveEntryBound = 16777215;

// The fixed triangle table: 0, 2, ... 254, 255, 253, ... 1.
void buildProceduralWeights(int32_t weights[256]);

// Gamma exponents: e = g + 1 for g >= 0, else 1 / (1 - g), with the integer
// steps g = (50 - haloBrightness) * 8 / 50 and g = (spikeGamma - 25) * 2 / 50.
int64_t haloGammaStep(int32_t haloBrightness);
int64_t spikeGammaStep(int32_t spikeGamma);
float gammaExponent(int64_t step);

void buildHaloCurves(const ParameterBlock& block, DerivedValues& derived);
void buildSpikeProfile(const ParameterBlock& block, SunTables& tables);
void buildFlareCurves(const ParameterBlock& block, DerivedValues& derived);
void buildSunCurves(const ParameterBlock& block, DerivedValues& derived);

// Direction of an offset in whole degrees: 0 right, 90 down, 180 left,
// 270 up, and 270 for no offset.
int32_t offsetDirection(float x, float y);
float offsetLength(float x, float y);

// spikeOffsetAngle and spikeOffsetLength from spikeX/spikeY, then FlareAngles.
void buildFlareAngles(const ParameterBlock& block, DerivedValues& derived, SunTables& tables);
// flareOffsetAngle and flareOffsetLength from flareX/flareY, then SpikeAxes.
void buildSpikeAxes(const ParameterBlock& block, DerivedValues& derived, SunTables& tables,
                    int32_t renderScale, float unit);

// centerX (centerY) from xCenter (yCenter) and the width (height).
int32_t sunCentreOf(float fraction, int32_t extent);

// detailScale = (detailPercent / 100) * renderScale / pixelUnit in single precision.
float detailScaleOf(int32_t sunDetail, int32_t renderScale, float unit);
// smearStride, detailLevel, swirlRadius and swirlStrength.
void setDetailValues(const ParameterBlock& block, DerivedValues& derived, float detailScale,
                     int32_t sunRadiusPixels);

void buildSmoothstepTable(int32_t table[kSmoothstepEntries]);
void buildSphereTable(uint16_t* table, int32_t lastIndex, float detailScale);
void buildSwirlCentres(DerivedValues& derived, const SunTables& tables, int32_t sunRadiusPixels,
                       int32_t renderScale, uint16_t sphereLast);

}  // namespace lumenfall

#endif
