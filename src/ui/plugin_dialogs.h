// How the plug-in reaches its dialogs: the about box and the refusals (and
// the main dialog, which runs through runMainDialog in host/run_hooks.h).
// On Windows these are modal dialogs from the module's resources
// (ui/win32); elsewhere their text goes to standard error.
#ifndef LUMENFALL_UI_PLUGIN_DIALOGS_H
#define LUMENFALL_UI_PLUGIN_DIALOGS_H

namespace lumenfall {

enum class Refusal {
    HostTooOld,    // no advanceState: REFUSAL2
    Multichannel,  // multichannel image: REFUSAL3
    ImageMode,     // a mode or depth other than grey/RGB at 8/16 bits: REFUSAL3
};

// The text of a refusal, as shown to the user.
const char* refusalText(Refusal which);

// platformData is the host's PlatformData pointer (may be null).
void showRefusal(Refusal which, const void* platformData);
void showAboutBox(const void* platformData);

}  // namespace lumenfall

#endif
