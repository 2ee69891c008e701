// Our own declaration of the host interface's binary layout (64-bit Windows).
//
// The filter record is packed to 4 bytes on Windows; every other record
// (callback tables, pixel map, about record) uses natural alignment. All
// fields use fixed-width types so that the Linux build keeps the Windows
// widths (no `long`), and the static_asserts below pin the Windows x64
// offsets of every field we use.
#ifndef LUMENFALL_HOST_PI_ABI_H
#define LUMENFALL_HOST_PI_ABI_H

#include <cstddef>
#include <cstdint>

#include "params/byte_order.h"

#if defined(_WIN32)
#define LF_PLUGIN_EXPORT extern "C" __declspec(dllexport)
#else
#define LF_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace pi {

using int16 = int16_t;
using int32 = int32_t;
using uint32 = uint32_t;
using OSErr = int16_t;
using Boolean = uint8_t;
using Fixed = int32_t;
using OSType = uint32_t;
using Handle = char**;
using Ptr = char*;
using BufferID = struct BufferOpaque*;
using PIReadDescriptor = struct ReadDescriptorOpaque*;
using PIWriteDescriptor = struct WriteDescriptorOpaque*;
using PIDescriptorHandle = Handle;

constexpr uint32_t fourCC(const char (&s)[5]) { return lumenfall::fourCharCode(s); }

struct Point { int16 v, h; };
struct Rect { int16 top, left, bottom, right; };
struct VPoint { int32 v, h; };
struct VRect { int32 top, left, bottom, right; };
struct RGBColor16 { uint16_t red, green, blue; };

// ---- callback signatures -------------------------------------------------
using TestAbortProc = Boolean (*)();
using ProgressProc = void (*)(int32 done, int32 total);
using AdvanceStateProc = OSErr (*)();
struct PSPixelMap;
using DisplayPixelsProc = OSErr (*)(const PSPixelMap* source, const VRect* srcRect, int32 dstRow,
                                    int32 dstCol, void* platformContext);
using HostProc = void (*)(int16 selector, intptr_t* data);
using ProcessEventProc = void (*)(void* event);
using ColorServicesProc = OSErr (*)(void* info);
using GetPropertyProc = OSErr (*)(uint32 signature, uint32 key, int32 index, intptr_t* simple,
                                  Handle* complex);

// ---- handle suite ----------------------------------------------------------
struct HandleProcs {
    int16 handleProcsVersion;
    int16 numHandleProcs;
    Handle (*newProc)(int32 size);
    void (*disposeProc)(Handle h);
    int32 (*getSizeProc)(Handle h);
    OSErr (*setSizeProc)(Handle h, int32 newSize);
    Ptr (*lockProc)(Handle h, Boolean moveHigh);
    void (*unlockProc)(Handle h);
    void (*recoverSpaceProc)(int32 size);
    void (*disposeRegularHandleProc)(Handle h);
};

// ---- buffer suite ----------------------------------------------------------
struct BufferProcs {
    int16 bufferProcsVersion;
    int16 numBufferProcs;
    OSErr (*allocateProc)(int32 size, BufferID* bufferID);
    Ptr (*lockProc)(BufferID bufferID, Boolean moveHigh);
    void (*unlockProc)(BufferID bufferID);
    void (*freeProc)(BufferID bufferID);
    int32 (*spaceProc)();
    OSErr (*reserveProc)(int32 size);
    OSErr (*allocateProc64)(int64_t size, BufferID* bufferID);
    int64_t (*spaceProc64)();
};

// ---- descriptor suites -----------------------------------------------------
struct ReadDescriptorProcs {
    int16 readDescriptorProcsVersion;
    int16 numReadDescriptorProcs;
    PIReadDescriptor (*openReadDescriptorProc)(PIDescriptorHandle descriptor, uint32* keyArray);
    OSErr (*closeReadDescriptorProc)(PIReadDescriptor token);
    Boolean (*getKeyProc)(PIReadDescriptor token, uint32* key, uint32* type, int32* flags);
    OSErr (*getIntegerProc)(PIReadDescriptor token, int32* value);
    OSErr (*getFloatProc)(PIReadDescriptor token, double* value);
    OSErr (*getUnitFloatProc)(PIReadDescriptor token, uint32* unit, double* value);
    OSErr (*getBooleanProc)(PIReadDescriptor token, Boolean* value);
    OSErr (*getTextProc)(PIReadDescriptor token, Handle* value);
    OSErr (*getAliasProc)(PIReadDescriptor token, Handle* value);
    OSErr (*getEnumeratedProc)(PIReadDescriptor token, uint32* value);
    OSErr (*getClassProc)(PIReadDescriptor token, uint32* value);
    OSErr (*getSimpleReferenceProc)(PIReadDescriptor token, void* value);
    OSErr (*getObjectProc)(PIReadDescriptor token, uint32* type, PIDescriptorHandle* value);
    OSErr (*getCountProc)(PIReadDescriptor token, uint32* value);
    OSErr (*getStringProc)(PIReadDescriptor token, uint8_t (*value)[256]);
    OSErr (*getPinnedIntegerProc)(PIReadDescriptor token, int32 min, int32 max, int32* value);
    OSErr (*getPinnedFloatProc)(PIReadDescriptor token, const double* min, const double* max,
                                double* value);
    OSErr (*getPinnedUnitFloatProc)(PIReadDescriptor token, const double* min, const double* max,
                                    uint32* unit, double* value);
};

struct WriteDescriptorProcs {
    int16 writeDescriptorProcsVersion;
    int16 numWriteDescriptorProcs;
    PIWriteDescriptor (*openWriteDescriptorProc)();
    OSErr (*closeWriteDescriptorProc)(PIWriteDescriptor token, PIDescriptorHandle* newDescriptor);
    OSErr (*putIntegerProc)(PIWriteDescriptor token, uint32 key, int32 value);
    OSErr (*putFloatProc)(PIWriteDescriptor token, uint32 key, const double* value);
    OSErr (*putUnitFloatProc)(PIWriteDescriptor token, uint32 key, uint32 unit, const double* value);
    OSErr (*putBooleanProc)(PIWriteDescriptor token, uint32 key, Boolean value);
    OSErr (*putTextProc)(PIWriteDescriptor token, uint32 key, Handle value);
    OSErr (*putAliasProc)(PIWriteDescriptor token, uint32 key, Handle value);
    OSErr (*putEnumeratedProc)(PIWriteDescriptor token, uint32 key, uint32 type, uint32 value);
    OSErr (*putClassProc)(PIWriteDescriptor token, uint32 key, uint32 type);
    OSErr (*putSimpleReferenceProc)(PIWriteDescriptor token, uint32 key, const void* value);
    OSErr (*putObjectProc)(PIWriteDescriptor token, uint32 key, uint32 type, PIDescriptorHandle value);
    OSErr (*putCountProc)(PIWriteDescriptor token, uint32 key, uint32 count);
    OSErr (*putStringProc)(PIWriteDescriptor token, uint32 key, const uint8_t* pascalString);
    OSErr (*putScopedClassProc)(PIWriteDescriptor token, uint32 key, uint32 type);
    OSErr (*putScopedObjectProc)(PIWriteDescriptor token, uint32 key, uint32 type,
                                 PIDescriptorHandle value);
};

struct PIDescriptorParameters {
    int16 descriptorParametersVersion;
    int16 playInfo;
    int16 recordInfo;
    PIDescriptorHandle descriptor;
    WriteDescriptorProcs* writeDescriptorProcs;  // write precedes read
    ReadDescriptorProcs* readDescriptorProcs;
};

// ---- pixel map for displayPixels -------------------------------------------
struct PSPixelMask {
    PSPixelMask* next;
    void* maskData;
    int32 rowBytes;
    int32 colBytes;
    int32 maskDescription;
};

struct PSPixelMap {
    int32 version;
    VRect bounds;
    int32 imageMode;
    int32 rowBytes;
    int32 colBytes;
    int32 planeBytes;
    void* baseAddr;
    PSPixelMask* mat;
    PSPixelMask* masks;
    int32 maskPhaseRow;
    int32 maskPhaseCol;
    void* pixelOverlays;
    uint32 colorManagementOptions;
    int16 depth;
};

struct PlatformData { intptr_t hwnd; };

// The host's colour services (its colour picker among them).
constexpr int16 kColorServicesChooseColor = 0;
constexpr int16 kColorSpaceRGB = 0;
struct ColorServicesInfo {
    int32 infoSize;                 // sizeof, 56
    int16 selector;
    int16 sourceSpace;
    int16 resultSpace;
    Boolean resultGamutInfoValid;
    Boolean resultInGamut;
    void* reservedSourceSpaceInfo;  // must be null
    void* reservedResultSpaceInfo;  // must be null
    int16 colorComponents[4];
    void* reserved;                 // must be null
    union {
        const unsigned char* pickerPrompt;  // counted string
        Point* globalSamplePoint;
        int32 specialColorID;
    } selectorParameter;
};
static_assert(sizeof(ColorServicesInfo) == 56, "ColorServicesInfo is 56 bytes");
static_assert(offsetof(ColorServicesInfo, colorComponents) == 32, "ColorServicesInfo.colorComponents");
static_assert(offsetof(ColorServicesInfo, selectorParameter) == 48, "ColorServicesInfo.selectorParameter");

struct AboutRecord {
    PlatformData* platformData;
    void* sSPBasic;
    void* plugInRef;
    uint8_t reserved[244];
};

struct PlugInMonitor { Fixed gamma, redX, redY, greenX, greenY, blueX, blueY, whiteX, whiteY, ambient; };

// ---- the filter record (4-byte packing on Windows, x64 included) -----------
#pragma pack(push, 4)
struct FilterRecord {
    int32 serialNumber;
    TestAbortProc abortProc;
    ProgressProc progressProc;
    Handle parameters;
    Point imageSize;
    int16 planes;
    Rect filterRect;
    RGBColor16 background;
    RGBColor16 foreground;
    int32 maxSpace;
    int32 bufferSpace;
    Rect inRect;
    int16 inLoPlane;
    int16 inHiPlane;
    Rect outRect;
    int16 outLoPlane;
    int16 outHiPlane;
    void* inData;
    int32 inRowBytes;
    void* outData;
    int32 outRowBytes;
    Boolean isFloating;
    Boolean haveMask;
    Boolean autoMask;
    Rect maskRect;
    void* maskData;
    int32 maskRowBytes;
    uint8_t backColor[4];
    uint8_t foreColor[4];
    OSType hostSig;
    HostProc hostProc;
    int16 imageMode;
    Fixed imageHRes;
    Fixed imageVRes;
    Point floatCoord;
    Point wholeSize;
    PlugInMonitor monitor;
    PlatformData* platformData;
    BufferProcs* bufferProcs;
    void* resourceProcs;
    ProcessEventProc processEvent;
    DisplayPixelsProc displayPixels;
    HandleProcs* handleProcs;
    Boolean supportsDummyChannels;
    Boolean supportsAlternateLayouts;
    int16 wantLayout;
    int16 filterCase;
    int16 dummyPlaneValue;
    void* premiereHook;
    AdvanceStateProc advanceState;
    Boolean supportsAbsolute;
    Boolean wantsAbsolute;
    GetPropertyProc getPropertyObsolete;
    Boolean cannotUndo;
    Boolean supportsPadding;
    int16 inputPadding;
    int16 outputPadding;
    int16 maskPadding;
    int8_t samplingSupport;
    int8_t reservedByte;
    Fixed inputRate;
    Fixed maskRate;
    ColorServicesProc colorServices;
    int16 inLayerPlanes, inTransparencyMask, inLayerMasks, inInvertedLayerMasks, inNonLayerPlanes;
    int16 outLayerPlanes, outTransparencyMask, outLayerMasks, outInvertedLayerMasks, outNonLayerPlanes;
    int16 absLayerPlanes, absTransparencyMask, absLayerMasks, absInvertedLayerMasks, absNonLayerPlanes;
    int16 inPreDummyPlanes, inPostDummyPlanes, outPreDummyPlanes, outPostDummyPlanes;
    int32 inColumnBytes, inPlaneBytes, outColumnBytes, outPlaneBytes;
    void* imageServicesProcs;
    void* propertyProcs;
    int16 inTileHeight, inTileWidth;
    Point inTileOrigin;
    int16 absTileHeight, absTileWidth;
    Point absTileOrigin;
    int16 outTileHeight, outTileWidth;
    Point outTileOrigin;
    int16 maskTileHeight, maskTileWidth;
    Point maskTileOrigin;
    PIDescriptorParameters* descriptorParameters;
    uint8_t (*errorString)[256];
    void* channelPortProcs;
    void* documentInfo;
    void* sSPBasic;
    void* plugInRef;
    int32 depth;
    Handle iCCprofileData;
    int32 iCCprofileSize;
    int32 canUseICCProfiles;
    int32 hasImageScrap;
    void* bigDocumentData;
    PIDescriptorParameters* input3DScene;
    PIDescriptorParameters* output3DScene;
    Boolean createNewLayer;
    Handle iCCWorkingProfileData;
    int32 iCCWorkingProfileSize;
    int64_t bufferSpace64;
    int64_t maxSpace64;
    Boolean allowOverrangeColors;
    uint8_t reserved[45];
};
#pragma pack(pop)

// ---- constants ---------------------------------------------------------------
enum Selector : int16 {
    kSelectorAbout = 0,
    kSelectorParameters = 1,
    kSelectorPrepare = 2,
    kSelectorStart = 3,
    kSelectorContinue = 4,
    kSelectorFinish = 5,
};

constexpr OSErr kNoErr = 0;
constexpr OSErr kUserCanceledErr = -128;
constexpr OSErr kMemFullErr = -108;
constexpr OSErr kReadErr = -19;
constexpr OSErr kWriteErr = -20;
constexpr OSErr kFilterBadParameters = -30100;
constexpr OSErr kErrMissingParameter = -1715;
constexpr OSErr kParamErr = -50;

enum ImageMode : int16 {
    kModeBitmap = 0, kModeGrayScale = 1, kModeIndexed = 2, kModeRGB = 3, kModeCMYK = 4,
    kModeMultichannel = 7, kModeLab = 9, kModeGray16 = 10, kModeRGB48 = 11,
    kModeGray32 = 17, kModeRGB96 = 16,
};

enum FilterCase : int16 {
    kFilterCaseFlatImageNoSelection = 1,
    kFilterCaseFlatImageWithSelection = 2,
    kFilterCaseFloatingSelection = 3,
    kFilterCaseEditableTransparencyNoSelection = 4,
    kFilterCaseEditableTransparencyWithSelection = 5,
    kFilterCaseProtectedTransparencyNoSelection = 6,
    kFilterCaseProtectedTransparencyWithSelection = 7,
};

constexpr int16 kPadEdgeReplication = -1;
constexpr Fixed kFixedOne = 65536;

constexpr OSType kSigPhotoshop = fourCC("8BIM");
constexpr OSType kSigElements = fourCC("8ELE");
constexpr OSType kSigPSP8 = fourCC("PSP8");
constexpr OSType kSigPSP9 = fourCC("PSP9");

constexpr uint32 kTypeInteger = fourCC("long");
constexpr uint32 kTypeFloat = fourCC("doub");
constexpr uint32 kTypeBoolean = fourCC("bool");
constexpr uint32 kTypeEnumerated = fourCC("enum");
constexpr uint32 kTypeNull = fourCC("null");
constexpr uint32 kTypeImageReference = fourCC("#ImR");

constexpr int16 kPlayDialogDontDisplay = 0;
constexpr int16 kPlayDialogDisplay = 1;
constexpr int16 kRecordDialogOptional = 0;

using PluginMainProc = void (*)(int16 selector, void* record, intptr_t* data, int16* result);

}  // namespace pi

// The layout checks below hold for Windows x64; the Linux build keeps the same
// field widths but pointer-adjacent padding may differ, which is fine because
// the native host and plug-in are compiled from this same header.
#if defined(_WIN64)
#define LF_ABI_OFFSET(type, field, off) static_assert(offsetof(pi::type, field) == (off), #type "." #field)
LF_ABI_OFFSET(FilterRecord, serialNumber, 0);
LF_ABI_OFFSET(FilterRecord, abortProc, 4);
LF_ABI_OFFSET(FilterRecord, progressProc, 12);
LF_ABI_OFFSET(FilterRecord, parameters, 20);
LF_ABI_OFFSET(FilterRecord, planes, 32);
LF_ABI_OFFSET(FilterRecord, filterRect, 34);
LF_ABI_OFFSET(FilterRecord, bufferSpace, 60);
LF_ABI_OFFSET(FilterRecord, inRect, 64);
LF_ABI_OFFSET(FilterRecord, inLoPlane, 72);
LF_ABI_OFFSET(FilterRecord, inHiPlane, 74);
LF_ABI_OFFSET(FilterRecord, outRect, 76);
LF_ABI_OFFSET(FilterRecord, outLoPlane, 84);
LF_ABI_OFFSET(FilterRecord, outHiPlane, 86);
LF_ABI_OFFSET(FilterRecord, inData, 88);
LF_ABI_OFFSET(FilterRecord, inRowBytes, 96);
LF_ABI_OFFSET(FilterRecord, outData, 100);
LF_ABI_OFFSET(FilterRecord, outRowBytes, 108);
LF_ABI_OFFSET(FilterRecord, haveMask, 113);
LF_ABI_OFFSET(FilterRecord, maskRect, 116);
LF_ABI_OFFSET(FilterRecord, maskData, 124);
LF_ABI_OFFSET(FilterRecord, maskRowBytes, 132);
LF_ABI_OFFSET(FilterRecord, hostSig, 144);
LF_ABI_OFFSET(FilterRecord, imageMode, 156);
LF_ABI_OFFSET(FilterRecord, monitor, 176);
LF_ABI_OFFSET(FilterRecord, platformData, 216);
LF_ABI_OFFSET(FilterRecord, bufferProcs, 224);
LF_ABI_OFFSET(FilterRecord, displayPixels, 248);
LF_ABI_OFFSET(FilterRecord, handleProcs, 256);
LF_ABI_OFFSET(FilterRecord, filterCase, 268);
LF_ABI_OFFSET(FilterRecord, advanceState, 280);
LF_ABI_OFFSET(FilterRecord, getPropertyObsolete, 292);
LF_ABI_OFFSET(FilterRecord, inputPadding, 302);
LF_ABI_OFFSET(FilterRecord, outputPadding, 304);
LF_ABI_OFFSET(FilterRecord, maskPadding, 306);
LF_ABI_OFFSET(FilterRecord, samplingSupport, 308);
LF_ABI_OFFSET(FilterRecord, inputRate, 312);
LF_ABI_OFFSET(FilterRecord, maskRate, 316);
LF_ABI_OFFSET(FilterRecord, colorServices, 320);
LF_ABI_OFFSET(FilterRecord, inColumnBytes, 368);
LF_ABI_OFFSET(FilterRecord, imageServicesProcs, 384);
LF_ABI_OFFSET(FilterRecord, descriptorParameters, 432);
LF_ABI_OFFSET(FilterRecord, sSPBasic, 464);
LF_ABI_OFFSET(FilterRecord, plugInRef, 472);
LF_ABI_OFFSET(FilterRecord, depth, 480);
LF_ABI_OFFSET(FilterRecord, iCCprofileData, 484);
LF_ABI_OFFSET(FilterRecord, bigDocumentData, 504);
LF_ABI_OFFSET(FilterRecord, createNewLayer, 528);
LF_ABI_OFFSET(FilterRecord, iCCWorkingProfileData, 532);
LF_ABI_OFFSET(FilterRecord, bufferSpace64, 544);
LF_ABI_OFFSET(FilterRecord, allowOverrangeColors, 560);
static_assert(sizeof(pi::FilterRecord) == 608, "FilterRecord size");
LF_ABI_OFFSET(HandleProcs, newProc, 8);
LF_ABI_OFFSET(HandleProcs, lockProc, 40);
LF_ABI_OFFSET(HandleProcs, disposeRegularHandleProc, 64);
static_assert(sizeof(pi::HandleProcs) == 72, "HandleProcs size");
LF_ABI_OFFSET(BufferProcs, allocateProc, 8);
LF_ABI_OFFSET(BufferProcs, freeProc, 32);
LF_ABI_OFFSET(BufferProcs, spaceProc64, 64);
static_assert(sizeof(pi::BufferProcs) == 72, "BufferProcs size");
LF_ABI_OFFSET(PIDescriptorParameters, playInfo, 2);
LF_ABI_OFFSET(PIDescriptorParameters, recordInfo, 4);
LF_ABI_OFFSET(PIDescriptorParameters, descriptor, 8);
LF_ABI_OFFSET(PIDescriptorParameters, writeDescriptorProcs, 16);
LF_ABI_OFFSET(PIDescriptorParameters, readDescriptorProcs, 24);
static_assert(sizeof(pi::PIDescriptorParameters) == 32, "PIDescriptorParameters size");
LF_ABI_OFFSET(ReadDescriptorProcs, openReadDescriptorProc, 8);
LF_ABI_OFFSET(ReadDescriptorProcs, getEnumeratedProc, 80);
LF_ABI_OFFSET(ReadDescriptorProcs, getPinnedUnitFloatProc, 144);
static_assert(sizeof(pi::ReadDescriptorProcs) == 152, "ReadDescriptorProcs size");
LF_ABI_OFFSET(WriteDescriptorProcs, putIntegerProc, 24);
LF_ABI_OFFSET(WriteDescriptorProcs, putEnumeratedProc, 72);
LF_ABI_OFFSET(WriteDescriptorProcs, putScopedObjectProc, 128);
static_assert(sizeof(pi::WriteDescriptorProcs) == 136, "WriteDescriptorProcs size");
LF_ABI_OFFSET(PSPixelMap, baseAddr, 40);
LF_ABI_OFFSET(PSPixelMap, maskPhaseCol, 68);
LF_ABI_OFFSET(PSPixelMap, depth, 84);
static_assert(sizeof(pi::PSPixelMap) == 88, "PSPixelMap size");
LF_ABI_OFFSET(AboutRecord, plugInRef, 16);
static_assert(sizeof(pi::AboutRecord) == 272, "AboutRecord size");
#undef LF_ABI_OFFSET
#endif

#endif
