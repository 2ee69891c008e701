// Steps of a run that belong to other parts of the plug-in (scripting,
// cached settings and memory dots, the dialog, thumbnails). Each is called at
// its fixed place in the selectors.
#ifndef LUMENFALL_HOST_RUN_HOOKS_H
#define LUMENFALL_HOST_RUN_HOOKS_H

#include "host/globals.h"

namespace lumenfall {

// Start, run set-up.
void initialiseRunImages(PluginGlobals& g);
bool probeDescriptor(PluginGlobals& g);
void loadCachedSettings(PluginGlobals& g, ParameterBlock& block);
void clearMemoryDotTable(PluginGlobals& g);
void resetUndoAndPreviewState(PluginGlobals& g);
void loadMemoryDotMap(PluginGlobals& g);

// Start, after the refusals: applies the host's descriptor to the block.
void readDescriptor(PluginGlobals& g, ParameterBlock& block);

// Start, when the dialog is wanted: undo snapshot, then the dialog. Returns
// the dialog's result (0 for OK, -128 for cancel).
void takeOpeningUndoSnapshot(PluginGlobals& g, ParameterBlock& block);
int16_t runMainDialog(PluginGlobals& g, ParameterBlock& block);
void saveCachedSettings(PluginGlobals& g, ParameterBlock& block);

// Finish: records the settings into a descriptor for the host.
void writeDescriptor(PluginGlobals& g, ParameterBlock& block);

// When the run buffers are released.
void saveMemoryDotMap(PluginGlobals& g);

}  // namespace lumenfall

#endif
