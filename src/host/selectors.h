// The handlers of the selectors after dispatch.
#ifndef LUMENFALL_HOST_SELECTORS_H
#define LUMENFALL_HOST_SELECTORS_H

#include "host/globals.h"

namespace lumenfall {

// Makes sure the parameter block exists in the host's parameter handle;
// returns it locked (the dispatch unlocks it), or null when it cannot be
// created or locked (result -108), or when a run in flight lost it (the run
// ends with -30100).
ParameterBlock* validateParameters(PluginGlobals& g);

void handleParameters(PluginGlobals& g, ParameterBlock& block);
void handlePrepare(PluginGlobals& g, ParameterBlock& block);
void handleStart(PluginGlobals& g, ParameterBlock& block);
void handleContinue(PluginGlobals& g, ParameterBlock& block);
void handleFinish(PluginGlobals& g, ParameterBlock& block);

}  // namespace lumenfall

#endif
