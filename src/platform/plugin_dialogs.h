// Messages the plug-in shows the user outside its main dialog: the about box
// and the refusals. On Windows these are modal dialogs from the module's
// resources; elsewhere their text goes to standard error.
#ifndef LUMENFALL_PLATFORM_PLUGIN_DIALOGS_H
#define LUMENFALL_PLATFORM_PLUGIN_DIALOGS_H

namespace lumenfall {

enum class Refusal {
    HostTooOld,    // no advanceState: REFUSAL2
    Multichannel,  // multichannel image: REFUSAL3
    ImageMode,     // a mode or depth other than grey/RGB at 8/16 bits: REFUSAL3
};

// The maker's web page, opened by the about box's button.
constexpr const char* kMakerWebAddress = "https://orvandel.example/lumenfall/";

// The text of a refusal, as shown to the user.
const char* refusalText(Refusal which);

// platformData is the host's PlatformData pointer (may be null).
void showRefusal(Refusal which, const void* platformData);
void showAboutBox(const void* platformData);

// The module instance handle recorded when the library was loaded (Windows),
// or null.
void* moduleInstance();

}  // namespace lumenfall

#endif
