#include "ui/win32/common_controls.h"

namespace lumenfall {
namespace {

template <class F>
void bind(F& f, HMODULE module, const char* name) {
    if (module) f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

CommonControls load() {
    CommonControls c;
    HMODULE controls = LoadLibraryA("comctl32.dll");
    HMODULE dialogs = LoadLibraryA("comdlg32.dll");
    BOOL (WINAPI* initialise)(const INITCOMMONCONTROLSEX*) = nullptr;
    bind(initialise, controls, "InitCommonControlsEx");
    if (initialise) {
        INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), ICC_USEREX_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
        initialise(&init);
    }
    bind(c.imageListCreate, controls, "ImageList_Create");
    bind(c.imageListReplaceIcon, controls, "ImageList_ReplaceIcon");
    bind(c.imageListDestroy, controls, "ImageList_Destroy");
    bind(c.chooseColor, dialogs, "ChooseColorA");
    bind(c.getOpenFileName, dialogs, "GetOpenFileNameA");
    bind(c.getSaveFileName, dialogs, "GetSaveFileNameA");
    return c;
}

}  // namespace

const CommonControls& commonControls() {
    static const CommonControls c = load();
    return c;
}

}  // namespace lumenfall
