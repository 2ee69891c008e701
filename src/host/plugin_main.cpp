// The plug-in's only entry point and the dispatch by selector.
#include <new>

#include "host/globals.h"
#include "host/host_memory.h"
#include "host/image_pipeline.h"
#include "host/pi_abi.h"
#include "host/selectors.h"
#include "ui/plugin_dialogs.h"

namespace lumenfall {
namespace {

// Set while the about box is open (module state, as the about selector has
// no globals); nothing reads it yet.
uint8_t g_aboutBoxOpen = 0;

void dispatch(int16_t selector, pi::FilterRecord* record, intptr_t* data, int16_t* result) {
    const bool slotWasEmpty = *data == 0;
    pi::Handle globalsHandle = reinterpret_cast<pi::Handle>(*data);
    if (!globalsHandle) {
        globalsHandle = newHandle(record, int32_t(sizeof(PluginGlobals)));
        if (!globalsHandle) {
            *result = pi::kMemFullErr;
            return;
        }
        *data = reinterpret_cast<intptr_t>(globalsHandle);
    }
    auto* g = reinterpret_cast<PluginGlobals*>(lockHandle(record, globalsHandle));
    if (!g) {
        *result = pi::kMemFullErr;
        return;
    }
    const HandleUnlocker globalsLock(record, globalsHandle);
    g->result = result;
    g->record = record;
    *result = 0;
    if (selector == pi::kSelectorParameters) g->fresh = slotWasEmpty ? 1 : 0;
    // A run lives from start to finish; any earlier selector begins a new
    // one, and what a run the host abandoned still held is freed.
    if (selector >= pi::kSelectorParameters && selector <= pi::kSelectorStart) {
        if (g->buffers.allocated) endRun(*g);
        g->runInFlight = 0;
    }

    ParameterBlock* block = validateParameters(*g);
    if (!block) {
        if (*result == 0) *result = pi::kMemFullErr;
        return;
    }
    const HandleUnlocker parametersLock(record, record->parameters);
    switch (selector) {
        case pi::kSelectorParameters: handleParameters(*g, *block); break;
        case pi::kSelectorPrepare:
            record->bufferSpace = 0;
            handlePrepare(*g, *block);
            break;
        case pi::kSelectorStart: handleStart(*g, *block); break;
        case pi::kSelectorContinue: handleContinue(*g, *block); break;
        case pi::kSelectorFinish: handleFinish(*g, *block); break;
        default: *result = pi::kFilterBadParameters; break;
    }
    if (selector == pi::kSelectorStart && *result != 0) g->runInFlight = 0;
}

}  // namespace
}  // namespace lumenfall

LF_PLUGIN_EXPORT void PluginMain(int16_t selector, void* record, intptr_t* data, int16_t* result) {
    using namespace lumenfall;
    if (!result) return;
    try {
        if (selector == pi::kSelectorAbout) {
            // The about selector receives an about record, never a filter record.
            const auto* about = static_cast<const pi::AboutRecord*>(record);
            *result = 0;
            g_aboutBoxOpen = 1;
            showAboutBox(about ? about->platformData : nullptr);
            g_aboutBoxOpen = 0;
            return;
        }
        if (!record || !data) {
            *result = pi::kParamErr;
            return;
        }
        dispatch(selector, static_cast<pi::FilterRecord*>(record), data, result);
    } catch (const std::bad_alloc&) {
        *result = pi::kMemFullErr;
    } catch (...) {
        *result = pi::kParamErr;
    }
}
