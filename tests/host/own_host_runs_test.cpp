// A filter rectangle away from the image's corner, through a host of the
// test's own that serves exactly what the plug-in asks for: the plug-in must
// ask only inside the rectangle, change nothing outside it, and draw inside
// it what it draws for a picture of the rectangle's size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "host/pi_abi.h"
#include "host/plugin_fixture.h"
#include "params/scoped_temp_folder.h"
#include "platform/global_memory.h"
#include "platform/module_loader.h"

using namespace lumenfall;

namespace {

struct Picture {
    int32_t width = 0, height = 0, planes = 0, bytes = 1;
    std::vector<uint8_t> samples;  // planes interleaved, rows top down
    size_t offset(int32_t x, int32_t y) const { return (size_t(y) * width + x) * planes * bytes; }
};

Picture pattern(int32_t width, int32_t height, int32_t planes, int32_t bytes) {
    Picture p{width, height, planes, bytes, {}};
    p.samples.resize(size_t(width) * height * planes * bytes);
    for (size_t i = 0; i < p.samples.size(); ++i) p.samples[i] = uint8_t((i * 37 + i / 11) & 0xFF);
    if (bytes == 2)  // 16-bit samples stay in the host's 0..32768
        for (size_t i = 1; i < p.samples.size(); i += 2) p.samples[i] &= 0x7F;
    return p;
}

Picture crop(const Picture& from, const pi::Rect& r) {
    Picture p{r.right - r.left, r.bottom - r.top, from.planes, from.bytes, {}};
    const size_t rowBytes = size_t(p.width) * p.planes * p.bytes;
    for (int32_t y = 0; y < p.height; ++y) {
        const uint8_t* row = &from.samples[from.offset(r.left, r.top + y)];
        p.samples.insert(p.samples.end(), row, row + rowBytes);
    }
    return p;
}

// The host: one picture, one mask, a filter rectangle; rectangles the
// plug-in asks for outside the rectangle are counted.
struct OwnHost {
    Picture picture;
    std::vector<uint8_t> mask;  // one byte per pixel of the picture
    pi::FilterRecord record{};
    pi::Rect filter{};
    pi::Rect served{};
    std::vector<uint8_t> inBuffer, outBuffer, maskBuffer;
    int outside = 0;
    std::string firstOutside;
    // What some hosts say differently: a depth of 0 (older hosts), another
    // filter case (0: by the mask).
    int32_t depth = -1;
    int16_t filterCase = 0;
    // Requests at a sampling rate above one (the dialog's preview): in the
    // sampled picture's coordinates, answered with black.
    std::vector<std::pair<int32_t, pi::Rect>> sampled;
};
OwnHost* g_host = nullptr;

bool inside(const pi::Rect& r, const pi::Rect& f) {
    if (r.bottom <= r.top || r.right <= r.left) return true;  // empty: nothing asked
    return r.top >= f.top && r.left >= f.left && r.bottom <= f.bottom && r.right <= f.right;
}

std::string text(const pi::Rect& r) {
    return std::to_string(r.top) + "," + std::to_string(r.left) + "," + std::to_string(r.bottom) + "," +
           std::to_string(r.right);
}

// Writes the plug-in's output band back into the picture.
void commit() {
    OwnHost& h = *g_host;
    const pi::Rect r = h.served;
    h.served = pi::Rect{0, 0, 0, 0};
    if (r.bottom <= r.top || r.right <= r.left || !h.record.outData) return;
    const size_t rowBytes = size_t(r.right - r.left) * h.picture.planes * h.picture.bytes;
    for (int32_t y = r.top; y < r.bottom; ++y)
        std::memcpy(&h.picture.samples[h.picture.offset(r.left, y)], &h.outBuffer[size_t(y - r.top) * rowBytes],
                    rowBytes);
}

// A band of the picture for rectangle r, in `buffer`. The filter record is
// packed as the host interface lays it out, so its fields are assigned by
// the caller rather than written through pointers that may be misaligned.
struct Band {
    void* data;
    int32_t rowBytes;
};

Band serve(const pi::Rect& r, std::vector<uint8_t>& buffer) {
    OwnHost& h = *g_host;
    if (r.bottom <= r.top || r.right <= r.left) return Band{nullptr, 0};
    const size_t bytes = size_t(r.right - r.left) * h.picture.planes * h.picture.bytes;
    buffer.assign(bytes * size_t(r.bottom - r.top), 0);
    for (int32_t y = r.top; y < r.bottom; ++y)
        std::memcpy(&buffer[size_t(y - r.top) * bytes], &h.picture.samples[h.picture.offset(r.left, y)], bytes);
    return Band{buffer.data(), int32_t(bytes)};
}

int16_t advanceState() {
    OwnHost& h = *g_host;
    commit();
    pi::FilterRecord& r = h.record;
    if (r.inputRate != pi::kFixedOne) {
        h.sampled.push_back({r.inputRate / pi::kFixedOne, r.inRect});
        const pi::Rect in = r.inRect;
        const size_t rowBytes = size_t(std::max(0, in.right - in.left)) * h.picture.planes * h.picture.bytes;
        h.inBuffer.assign(rowBytes * size_t(std::max(0, in.bottom - in.top)) + 1, 0);
        r.inData = h.inBuffer.data();
        r.inRowBytes = int32_t(rowBytes);
        const Band out = serve(r.outRect, h.outBuffer);
        r.outData = out.data;
        if (out.data) r.outRowBytes = out.rowBytes;
        r.maskData = nullptr;
        return 0;
    }
    for (const pi::Rect* asked : {&r.inRect, &r.outRect, &r.maskRect}) {
        if (!inside(*asked, h.filter)) {
            if (h.outside++ == 0) h.firstOutside = text(*asked) + " outside " + text(h.filter);
            return pi::kParamErr;
        }
    }
    const Band in = serve(r.inRect, h.inBuffer);
    r.inData = in.data;
    if (in.data) r.inRowBytes = in.rowBytes;
    const Band out = serve(r.outRect, h.outBuffer);
    r.outData = out.data;
    if (out.data) r.outRowBytes = out.rowBytes;
    h.served = r.outRect;
    const pi::Rect m = r.maskRect;
    if (r.haveMask && m.bottom > m.top && m.right > m.left) {
        const int32_t width = m.right - m.left;
        h.maskBuffer.assign(size_t(width) * (m.bottom - m.top), 0);
        for (int32_t y = m.top; y < m.bottom; ++y)
            std::memcpy(&h.maskBuffer[size_t(y - m.top) * width], &h.mask[size_t(y) * h.picture.width + m.left],
                        size_t(width));
        r.maskData = h.maskBuffer.data();
        r.maskRowBytes = width;
    } else {
        r.maskData = nullptr;
    }
    return 0;
}
// A buffer suite that counts what the plug-in holds.
int g_buffersHeld = 0;
pi::OSErr allocateBuffer(int32_t size, pi::BufferID* id) {
    *id = reinterpret_cast<pi::BufferID>(new (std::nothrow) char[size_t(size > 0 ? size : 1)]);
    if (!*id) return pi::kMemFullErr;
    ++g_buffersHeld;
    return 0;
}
pi::Ptr lockBuffer(pi::BufferID id, pi::Boolean) { return reinterpret_cast<pi::Ptr>(id); }
void unlockBuffer(pi::BufferID) {}
void freeBuffer(pi::BufferID id) {
    delete[] reinterpret_cast<char*>(id);
    --g_buffersHeld;
}
int32_t bufferSpace() { return 1 << 30; }
pi::BufferProcs g_bufferProcs{2, 5, allocateBuffer, lockBuffer, unlockBuffer, freeBuffer, bufferSpace,
                              nullptr, nullptr, nullptr};

pi::Boolean neverAbort() { return 0; }
pi::OSErr showNothing(const pi::PSPixelMap*, const pi::VRect*, int32_t, int32_t, void*) { return 0; }
void noProgress(int32_t, int32_t) {}

class OwnHostRun : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        module_ = loadModule(LF_PLUGIN_PATH, &error);
        ASSERT_NE(module_, nullptr) << error;
        entry_ = reinterpret_cast<pi::PluginMainProc>(findSymbol(module_, "PluginMain"));
        ASSERT_NE(entry_, nullptr);
    }
    void TearDown() override {
        // This host has no handle suite, so the plug-in's data slot and
        // parameter blocks are handles of the plug-in's own fallback, which
        // the host disposes of when it is done with the plug-in.
        for (pi::Handle parameters : parameterBlocks_) globalDispose(reinterpret_cast<MemoryHandle>(parameters));
        globalDispose(reinterpret_cast<MemoryHandle>(data_));
        if (module_) unloadModule(module_);
    }

    // A fresh record for `filter` of the host's picture (no handle, buffer or
    // descriptor suites: the plug-in's own fallbacks).
    void setUpRecord(OwnHost& h, const pi::Rect& filter, int16_t mode, bool withMask) {
        g_host = &h;
        h.filter = filter;
        pi::FilterRecord& r = h.record;
        std::memset(&r, 0, sizeof r);
        r.abortProc = neverAbort;
        r.progressProc = noProgress;
        r.imageSize = pi::Point{int16_t(h.picture.height), int16_t(h.picture.width)};
        r.wholeSize = r.imageSize;
        r.planes = int16_t(h.picture.planes);
        r.filterRect = filter;
        r.maxSpace = 1 << 30;
        r.maxSpace64 = int64_t(1) << 30;
        r.imageMode = mode;
        r.depth = h.picture.bytes * 8;
        r.imageHRes = r.imageVRes = 72 << 16;
        r.hostSig = pi::kSigPhotoshop;
        r.advanceState = advanceState;
        r.bufferProcs = &g_bufferProcs;
        r.haveMask = withMask ? 1 : 0;
        r.filterCase = withMask ? pi::kFilterCaseFlatImageWithSelection : pi::kFilterCaseFlatImageNoSelection;
        r.supportsPadding = 1;
        if (h.depth >= 0) r.depth = h.depth;
        if (h.filterCase != 0) r.filterCase = h.filterCase;
    }
    int16_t call(OwnHost& h, int16_t selector) {
        g_host = &h;
        int16_t result = 0;
        entry_(selector, &h.record, &data_, &result);
        commit();
        pi::Handle parameters = h.record.parameters;
        if (parameters && std::find(parameterBlocks_.begin(), parameterBlocks_.end(), parameters) == parameterBlocks_.end())
            parameterBlocks_.push_back(parameters);
        return result;
    }
    static bool asks(const pi::FilterRecord& r) {
        const pi::Rect nothing{0, 0, 0, 0};
        return std::memcmp(&r.inRect, &nothing, sizeof nothing) != 0 ||
               std::memcmp(&r.outRect, &nothing, sizeof nothing) != 0 ||
               std::memcmp(&r.maskRect, &nothing, sizeof nothing) != 0;
    }

    // Runs prepare, start, the continues and finish over `filter` of the
    // host's picture; false when a selector fails.
    bool filterRun(OwnHost& h, const pi::Rect& filter, int16_t mode, bool withMask) {
        setUpRecord(h, filter, mode, withMask);
        if (call(h, pi::kSelectorPrepare) != 0 || call(h, pi::kSelectorStart) != 0) return false;
        for (int guard = 0; guard < 4 * h.picture.height + 16 && asks(h.record); ++guard)
            if (call(h, pi::kSelectorContinue) != 0) return false;
        return call(h, pi::kSelectorFinish) == 0;
    }

    // The picture with the filter rectangle at (top, left), against a
    // picture of the rectangle's size filtered whole.
    void compareWithCrop(int32_t planes, int32_t bytes, int16_t mode, bool withMask) {
        lumenfall::testing::ScopedTempFolder temp;  // no settings left by other runs
        const pi::Rect filter{23, 41, 23 + 57, 41 + 90};
        OwnHost offset;
        offset.picture = pattern(160, 100, planes, bytes);
        offset.mask.resize(160 * 100);
        for (size_t i = 0; i < offset.mask.size(); ++i) offset.mask[i] = uint8_t((i % 160) * 3 + i / 160);
        const Picture original = offset.picture;
        ASSERT_TRUE(filterRun(offset, filter, mode, withMask));
        EXPECT_EQ(offset.outside, 0) << offset.firstOutside;

        OwnHost whole;
        whole.picture = crop(original, filter);
        for (int32_t y = filter.top; y < filter.bottom; ++y)
            for (int32_t x = filter.left; x < filter.right; ++x) whole.mask.push_back(offset.mask[size_t(y) * 160 + x]);
        ASSERT_TRUE(filterRun(whole, pi::Rect{0, 0, int16_t(filter.bottom - filter.top), int16_t(filter.right - filter.left)},
                              mode, withMask));
        ASSERT_NE(whole.picture.samples, crop(original, filter).samples) << "the filter drew nothing";

        EXPECT_EQ(crop(offset.picture, filter).samples, whole.picture.samples);
        // Outside the rectangle every sample is the original's.
        size_t changedOutside = 0;
        for (int32_t y = 0; y < 100; ++y)
            for (int32_t x = 0; x < 160; ++x) {
                const bool in = y >= filter.top && y < filter.bottom && x >= filter.left && x < filter.right;
                if (!in)
                    changedOutside += std::memcmp(&offset.picture.samples[offset.picture.offset(x, y)],
                                                  &original.samples[original.offset(x, y)], size_t(planes * bytes)) != 0;
            }
        EXPECT_EQ(changedOutside, 0u);
    }

    void* module_ = nullptr;
    pi::PluginMainProc entry_ = nullptr;
    intptr_t data_ = 0;
    std::vector<pi::Handle> parameterBlocks_;  // every block the plug-in handed over
};

}  // namespace

using OffsetRectangle = OwnHostRun;

TEST_F(OffsetRectangle, RgbEightBitDrawsWhatTheCropDraws) { compareWithCrop(3, 1, pi::kModeRGB, false); }

TEST_F(OffsetRectangle, GreySixteenBitWithAMaskDrawsWhatTheCropDraws) {
    compareWithCrop(1, 2, pi::kModeGray16, true);
}

// The run's flag: a continue is served only between a start that succeeded
// and the finish; a run whose parameter handle the host dropped ends.
using RunInFlight = OwnHostRun;

TEST_F(RunInFlight, ContinueAfterFinishOrAFailedStartIsRefused) {
    lumenfall::testing::ScopedTempFolder temp;
    OwnHost h;
    h.picture = pattern(12, 6, 3, 1);
    ASSERT_TRUE(filterRun(h, pi::Rect{0, 0, 6, 12}, pi::kModeRGB, false));
    EXPECT_EQ(call(h, pi::kSelectorContinue), pi::kFilterBadParameters);
    EXPECT_FALSE(asks(h.record));

    // A start the plug-in refuses (a depth it cannot draw) begins no run.
    setUpRecord(h, pi::Rect{0, 0, 6, 12}, pi::kModeRGB, false);
    h.record.depth = 16;
    ASSERT_EQ(call(h, pi::kSelectorPrepare), 0);
    ASSERT_NE(call(h, pi::kSelectorStart), 0);
    EXPECT_EQ(call(h, pi::kSelectorContinue), pi::kFilterBadParameters);
    EXPECT_FALSE(asks(h.record));
}

TEST_F(RunInFlight, ARunWhoseParameterHandleWasDroppedEnds) {
    lumenfall::testing::ScopedTempFolder temp;
    OwnHost h;
    h.picture = pattern(12, 6, 3, 1);
    setUpRecord(h, pi::Rect{0, 0, 6, 12}, pi::kModeRGB, false);
    ASSERT_EQ(call(h, pi::kSelectorPrepare), 0);
    ASSERT_EQ(call(h, pi::kSelectorStart), 0);
    ASSERT_TRUE(asks(h.record));
    h.record.parameters = nullptr;  // the plug-in's block is gone (its memory stays the plug-in's)
    EXPECT_EQ(call(h, pi::kSelectorContinue), pi::kFilterBadParameters);
    EXPECT_FALSE(asks(h.record));
    EXPECT_EQ(call(h, pi::kSelectorContinue), pi::kFilterBadParameters);
}

// A host that starts again without finishing abandons the first run: what
// that run held is released, not held twice.
TEST_F(RunInFlight, ASecondStartReleasesTheAbandonedRun) {
    lumenfall::testing::ScopedTempFolder temp;
    OwnHost h;
    h.picture = pattern(12, 6, 3, 1);
    setUpRecord(h, pi::Rect{0, 0, 6, 12}, pi::kModeRGB, false);
    const int heldBefore = g_buffersHeld;
    ASSERT_EQ(call(h, pi::kSelectorPrepare), 0);
    ASSERT_EQ(call(h, pi::kSelectorStart), 0);
    const int oneRun = g_buffersHeld - heldBefore;
    ASSERT_GT(oneRun, 0);
    ASSERT_EQ(call(h, pi::kSelectorStart), 0);
    EXPECT_EQ(g_buffersHeld - heldBefore, oneRun);
    for (int guard = 0; guard < 64 && asks(h.record); ++guard) ASSERT_EQ(call(h, pi::kSelectorContinue), 0);
    ASSERT_EQ(call(h, pi::kSelectorFinish), 0);
    EXPECT_EQ(g_buffersHeld, heldBefore);
}

// A host of an older generation leaves the depth at 0: the mode alone says
// 16 bits, and the picture is the one a host that says so gets.
TEST_F(OwnHostRun, SixteenBitModesWithoutADepthDrawSixteenBits) {
    lumenfall::testing::ScopedTempFolder temp;
    for (const auto& [planes, mode] : {std::pair<int32_t, int16_t>{1, pi::kModeGray16}, {3, pi::kModeRGB48}}) {
        OwnHost told, untold;
        told.picture = untold.picture = pattern(40, 30, planes, 2);
        const pi::Rect whole{0, 0, 30, 40};
        ASSERT_TRUE(filterRun(told, whole, mode, false));
        untold.depth = 0;
        ASSERT_TRUE(filterRun(untold, whole, mode, false));
        EXPECT_EQ(untold.picture.samples, told.picture.samples) << "mode " << mode;
    }
}

// Grey with a transparency the filter may not change: two planes, of which
// the first is drawn as a grey picture's only plane is, and the second is
// left as it was.
TEST_F(OwnHostRun, GreyWithProtectedTransparencyDrawsOnlyTheGreyPlane) {
    lumenfall::testing::ScopedTempFolder temp;
    OwnHost two, one;
    two.picture = pattern(50, 20, 2, 1);
    two.filterCase = pi::kFilterCaseProtectedTransparencyNoSelection;
    const Picture original = two.picture;
    one.picture = Picture{50, 20, 1, 1, {}};
    for (size_t i = 0; i < original.samples.size(); i += 2) one.picture.samples.push_back(original.samples[i]);
    const pi::Rect whole{0, 0, 20, 50};
    ASSERT_TRUE(filterRun(two, whole, pi::kModeGrayScale, false));
    ASSERT_TRUE(filterRun(one, whole, pi::kModeGrayScale, false));
    std::vector<uint8_t> grey, transparency, originalTransparency;
    for (size_t i = 0; i < two.picture.samples.size(); i += 2) {
        grey.push_back(two.picture.samples[i]);
        transparency.push_back(two.picture.samples[i + 1]);
        originalTransparency.push_back(original.samples[i + 1]);
    }
    EXPECT_EQ(grey, one.picture.samples);
    EXPECT_EQ(transparency, originalTransparency);
}

// Prepare centres the sun in the rectangle, whatever its corner: the
// dialog shows that centre before the render has placed one.
TEST(OffsetRectangleWithOurHost, PrepareCentresTheSunInTheRectangle) {
    lumenfall::testing::ScopedTempFolder temp;
    auto host = lumenfall::testing::loadPlugin();
    host->record().filterRect = pi::Rect{20, 30, 80, 130};
    ASSERT_EQ(host->callSelector(pi::kSelectorPrepare), 0);
    const ParameterBlock* block = lumenfall::testing::parameterBlock(*host);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->centerX, 50);
    EXPECT_EQ(block->centerY, 30);
}

// The dialog's opening preview of a rectangle away from the corner asks
// for it in the sampled picture's coordinates: the corner divided by the
// sampling factor too, not only the size.
TEST_F(OwnHostRun, ThePreviewOfAnOffsetRectangleAsksInSampledCoordinates) {
    lumenfall::testing::ScopedTempFolder temp;
    OwnHost h;
    h.picture = pattern(1400, 500, 3, 1);
    const pi::Rect filter{40, 90, 440, 1290};  // 1200 x 400: the whole fits at a factor of 3
    setUpRecord(h, filter, pi::kModeRGB, false);
    h.record.displayPixels = showNothing;
    h.record.samplingSupport = 1;
    ASSERT_EQ(call(h, pi::kSelectorParameters), 0);
    ASSERT_EQ(call(h, pi::kSelectorPrepare), 0);
    ASSERT_EQ(call(h, pi::kSelectorStart), 0);
    for (int guard = 0; guard < 4 * h.picture.height && asks(h.record); ++guard)
        ASSERT_EQ(call(h, pi::kSelectorContinue), 0);
    ASSERT_EQ(call(h, pi::kSelectorFinish), 0);
    ASSERT_FALSE(h.sampled.empty());
    const auto& [factor, rect] = h.sampled.front();
    EXPECT_EQ(factor, 3);
    EXPECT_EQ(rect.top, filter.top / 3);
    EXPECT_EQ(rect.left, filter.left / 3);
    EXPECT_EQ(rect.right - rect.left, 400);
    EXPECT_EQ(rect.bottom - rect.top, 133);
    EXPECT_EQ(h.outside, 0) << h.firstOutside;
}
