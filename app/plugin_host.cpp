#include "plugin_host.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "platform/global_memory.h"
#include "platform/module_loader.h"
#include "plugin_host_internal.h"

namespace lumenfall {
namespace plugin_host_detail {

PluginHost* g_current = nullptr;
std::atomic<bool> g_abortRequested{false};

std::string rectText(const pi::Rect& r) {
    char text[64];
    std::snprintf(text, sizeof text, "(%d,%d,%d,%d)", r.top, r.left, r.bottom, r.right);
    return text;
}

bool rectEmpty(const pi::Rect& r) { return r.bottom <= r.top || r.right <= r.left; }

}  // namespace plugin_host_detail

using namespace plugin_host_detail;

void requestHostAbort() { g_abortRequested = true; }

PluginHost::PluginHost(HostOptions options)
    : options_(options), record_(new pi::FilterRecord()), document_(new Document()),
      descriptors_(new DescriptorHost(descriptorMemory(options.handleSuite), options.descriptor)) {
    std::memset(record_.get(), 0, sizeof(pi::FilterRecord));
}

std::vector<DescriptorEntry> PluginHost::recordedDescriptor() const { return descriptors_->recorded(); }

PluginHost::~PluginHost() {
    {
        PluginHost* previous = g_current;
        g_current = this;
        descriptors_->release();
        g_current = previous;
    }
    releasePluginData();
    releaseSpareBuffers(spareBuffers_);
    unloadModule(module_);
}

bool PluginHost::load(const std::string& modulePath, std::string* error) {
    module_ = loadModule(modulePath, error);
    if (!module_) return false;
    entry_ = reinterpret_cast<pi::PluginMainProc>(findSymbol(module_, "PluginMain"));
    if (!entry_) {
        *error = modulePath + " has no PluginMain entry point";
        unloadModule(module_);
        module_ = nullptr;
        return false;
    }
    return true;
}

void PluginHost::logLine(std::string line) { log_.push_back(std::move(line)); }

void PluginHost::clearLog() {
    log_.clear();
    progress_.clear();
}

int16_t PluginHost::about() {
    pi::AboutRecord about{};
    pi::PlatformData platform{};
    about.platformData = &platform;
    int16_t result = 0;
    PluginHost* previous = g_current;
    g_current = this;
    entry_(pi::kSelectorAbout, &about, &dataSlot_, &result);
    g_current = previous;
    logLine("selector 0 -> " + std::to_string(result));
    return result;
}

int16_t PluginHost::callSelector(int16_t selector) {
    int16_t result = 0;
    PluginHost* previous = g_current;
    g_current = this;
    record_->parameters = parameters_;
    entry_(selector, record_.get(), &dataSlot_, &result);
    parameters_ = record_->parameters;
    g_current = previous;
    logLine("selector " + std::to_string(selector) + " -> " + std::to_string(result));
    return result;
}

void PluginHost::releaseEverything() {
    PluginHost* previous = g_current;
    g_current = this;
    descriptors_->release();
    g_current = previous;
    releasePluginData();
    releaseSpareBuffers(spareBuffers_);
}

// Before a selector, the fields the plug-in must set for it hold nonsense,
// so that a plug-in relying on what an earlier call left there shows.
void PluginHost::scribbleOutputFields(int16_t selector) {
    pi::FilterRecord& r = *record_;
    const pi::Rect nonsense{-7, -13, 23130, 23131};
    r.inRect = r.outRect = r.maskRect = nonsense;
    r.inLoPlane = r.outLoPlane = 77;
    r.inHiPlane = r.outHiPlane = -3;
    r.inputRate = r.maskRate = 0x5A5A5A5A;
    r.inputPadding = r.outputPadding = r.maskPadding = 0x5A;
    if (selector == pi::kSelectorPrepare && !options_.minimalServices) r.bufferSpace = -1;
}

void PluginHost::releasePluginData() {
    PluginHost* previous = g_current;
    g_current = this;
    // Without a usable handle suite the plug-in keeps its data in the
    // platform's movable global memory, which is freed the same way.
    const bool ours = options_.handleSuite == HandleSuiteKind::Full;
    auto dispose = [&](pi::Handle h) {
        if (!h) return;
        if (ours) Callbacks::disposeHandle(h);
        else globalDispose(h);
    };
    dispose(reinterpret_cast<pi::Handle>(dataSlot_));
    dispose(parameters_);
    dataSlot_ = 0;
    parameters_ = nullptr;
    g_current = previous;
}

// One selector of the run: the fields it must set start as nonsense, and
// what it wrote is committed.
bool PluginHost::runSelector(int16_t selector, RunOutcome* outcome) {
    if (selector != pi::kSelectorContinue && selector != pi::kSelectorFinish) scribbleOutputFields(selector);
    const int16_t result = callSelector(selector);
    commitOutput();
    outcome->result = result;
    if (result != 0) outcome->failedSelector = selector;
    return result == 0;
}

bool PluginHost::bandsRequested() const {
    const pi::FilterRecord& r = *record_;
    return !rectEmpty(r.inRect) || !rectEmpty(r.outRect) || !rectEmpty(r.maskRect);
}

// Continue until the plug-in asks for no more bands.
bool PluginHost::continueUntilDone(int32_t imageHeight, RunOutcome* outcome) {
    // A plug-in that keeps asking for data without advancing is stopped
    // after far more calls than an image's rows can need.
    const int64_t limit = int64_t(imageHeight) * 8 + 64;
    int64_t calls = 0;
    bool ok = true;
    while (ok && bandsRequested()) {
        if (++calls > limit) {
            logLine("continue loop does not end");
            outcome->result = pi::kParamErr;
            outcome->failedSelector = pi::kSelectorContinue;
            return false;
        }
        if (options_.hostAdvancesBeforeContinue) {
            logLine("host advances in=" + rectText(record_->inRect) + " out=" + rectText(record_->outRect) +
                    " mask=" + rectText(record_->maskRect));
            commitOutput();
            deliverBands();
        } else if (!options_.offerAdvanceState) {
            deliverBands();
        }
        ok = runSelector(pi::kSelectorContinue, outcome);
    }
    return ok;
}

void PluginHost::runSelectors(int32_t imageHeight, RunOutcome* outcome) {
    bool ok = true;
    if (options_.showDialog) ok = runSelector(pi::kSelectorParameters, outcome);
    ok = ok && runSelector(pi::kSelectorPrepare, outcome);
    if (options_.prepareTwice) ok = ok && runSelector(pi::kSelectorPrepare, outcome);
    ok = ok && runSelector(pi::kSelectorStart, outcome);
    if (ok && options_.cancelAfterStart) {
        // The user cancelled before the first continue: the host ends the
        // run with finish and keeps the original picture.
        logLine("host cancels before continue");
        runSelector(pi::kSelectorFinish, outcome);
        outcome->result = pi::kUserCanceledErr;
        outcome->failedSelector = pi::kSelectorContinue;
        ok = false;
    }
    ok = ok && continueUntilDone(imageHeight, outcome);
    if (ok) {
        outcome->rendered = true;
        if (!runSelector(pi::kSelectorFinish, outcome)) outcome->rendered = false;
    }
}

// The result blended with the original through the selection; a run
// that did not finish leaves the input as it was.
void PluginHost::finishOutput(const Image& input, const RunOutcome& outcome, Image* output) {
    Document& doc = *document_;
    doc.output = nullptr;
    doc.input = nullptr;
    if (!outcome.rendered) {
        *output = input;
        return;
    }
    if (doc.selection.empty()) return;
    for (int32_t y = 0; y < doc.height; ++y)
        for (int32_t x = 0; x < doc.width; ++x) {
            const uint32_t m = doc.selection[size_t(y) * doc.width + x];
            if (m == 255) continue;
            for (int32_t p = 0; p < doc.planes; ++p) {
                const size_t i = doc.at(x, y, p);
                const int64_t original = input.samples[i];
                const int64_t v = output->samples[i];
                output->samples[i] = uint16_t(original + (v - original) * int64_t(m) / 255);
            }
        }
}

RunOutcome PluginHost::run(const Image& input, const Image* selection, Image* output) {
    RunOutcome outcome;
    g_abortRequested = false;
    if (options_.freshDataEveryRun) releasePluginData();
    bufferAllocations_ = 0;
    handleAllocations_ = 0;
    // The output starts as the input; the plug-in's bands are committed into it.
    try {
        *output = input;
    } catch (const std::bad_alloc&) {
        outcome.result = pi::kMemFullErr;
        return outcome;
    }
    // A filter rectangle beyond the picture is never handed to the plug-in.
    std::string outside;
    if (!filterRectFits(options_.filterRect, input.width, input.height, &outside)) {
        outcome.result = pi::kParamErr;
        return outcome;
    }
    document_->output = output;
    PluginHost* previous = g_current;
    g_current = this;
    setUpRecord(input, selection);
    const std::vector<void*> sparesBefore = spareBuffers_;
    runSelectors(input.height, &outcome);
    // Spares this run did not ask for belong to a picture of another shape.
    releaseSpareBuffers(sparesBefore);
    if (record_->iCCprofileData) {
        Callbacks::disposeHandle(record_->iCCprofileData);
        record_->iCCprofileData = nullptr;
        record_->iCCprofileSize = 0;
    }
    g_current = previous;
    ++runs_;
    if (options_.progressBar) std::fprintf(stderr, "\r%*s\r", 50, "");
    finishOutput(input, outcome, output);
    return outcome;
}

}  // namespace lumenfall
