// Loads the built plug-in module the way a host does and checks what a host
// sees: the PluginMain entry point, the PiPL and AETE resources filed under
// id 16000 and US English, the about box through selector 0, and the
// refusals through a start without advanceState or on a multichannel image.
// Usage: plugin_probe resources|about|refusal <module>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "host/pi_abi.h"
#include "params/golden_resources.h"
#include "params/plugin_resources.h"
#include "ui/plugin_dialogs.h"
#include "ui/win32/dialog_ids.h"

using namespace lumenfall;
using namespace lumenfall_test;

namespace {

std::vector<uint8_t> fromHex(const char* hex) {
    std::vector<uint8_t> out;
    for (const char* p = hex; p[0] && p[1]; p += 2) out.push_back(uint8_t(std::stoi(std::string(p, 2), nullptr, 16)));
    return out;
}

std::vector<uint8_t> resourceBytes(HMODULE module, const char* type, WORD language) {
    HRSRC found = FindResourceExA(module, type, MAKEINTRESOURCEA(kPluginResourceId), language);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module, found);
    const uint8_t* data = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
    if (!data) return {};
    return std::vector<uint8_t>(data, data + SizeofResource(module, found));
}

int probeResources(HMODULE module) {
    Checks c;
    c.expect(GetProcAddress(module, "PluginMain") != nullptr, "PluginMain is exported");
    const WORD usEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    std::vector<uint8_t> pipl = resourceBytes(module, "PiPL", usEnglish);
    c.expect(pipl.size() == 342, "PiPL 16000 (US English) is 342 bytes (got " + std::to_string(pipl.size()) + ")");
    c.expect(pipl == fromHex(kGoldenPipl), "PiPL equals the reference bytes");
    std::vector<uint8_t> aete = resourceBytes(module, "aete", usEnglish);
    c.expect(!aete.empty() && aete == buildAete(), "AETE 16000 (US English) equals the table-built bytes (" +
                                                       std::to_string(aete.size()) + " bytes)");
    // The entry point named in the PiPL resolves.
    const char* entryKey = "4668";  // '8664' as little-endian bytes
    std::string text(pipl.begin(), pipl.end());
    size_t at = text.find(entryKey);
    bool resolves = false;
    if (at != std::string::npos && at + 12 < text.size()) {
        std::string name = text.c_str() + at + 12;  // after key, id and length
        resolves = name == "PluginMain" && GetProcAddress(module, name.c_str()) != nullptr;
    }
    c.expect(resolves, "the PiPL's x64 entry point resolves with GetProcAddress");
    std::printf("%d failed checks\n", c.failed);
    return c.failed == 0 ? 0 : 1;
}

int probeAbout(pi::PluginMainProc entry) {
    Checks c;
    if (!haveDisplay()) {
        std::printf("no DISPLAY: dialog tests need an X server (run ctest under xvfb-run)\n");
        return kSkipped;
    }
    pi::AboutRecord about{};
    intptr_t data = 0;
    int16_t result = -1;
    DialogDriver driver([&](HWND dialog) {
        c.expect(dialog != nullptr, "selector 0 shows the about box");
        if (!dialog) return;
        c.expect(windowText(dialog) == "About", "caption \"About\"");
        HWND visit = GetDlgItem(dialog, LF_ABOUT_VISIT_BUTTON);
        c.expect(visit && windowText(visit) == "Visit Orvandel's website...", "button 5 is the visit button");
        PostMessageA(visit, WM_KEYDOWN, VK_ESCAPE, 0);
        c.expect(waitClosed(dialog, 5000), "Escape closes the about box");
    });
    driver.run([&] { entry(pi::kSelectorAbout, &about, &data, &result); });
    c.expect(result == 0, "about returns 0 (got " + std::to_string(result) + ")");
    c.expect(data == 0, "about allocates no globals");
    std::printf("%d failed checks\n", c.failed);
    return c.failed == 0 ? 0 : 1;
}

pi::OSErr advanceStateStub() { return pi::kNoErr; }

// parameters, prepare and start on a small image; returns start's result.
int16_t runToStart(pi::PluginMainProc entry, bool withAdvanceState, int16_t imageMode, Checks& c,
                   const char* label) {
    static pi::FilterRecord record;
    std::memset(&record, 0, sizeof record);
    record.filterRect = {0, 0, 8, 8};
    record.imageSize = {8, 8};
    record.planes = imageMode == pi::kModeMultichannel ? 4 : 3;
    record.imageMode = imageMode;
    record.depth = 8;
    record.hostSig = pi::fourCC("LMFT");
    record.filterCase = pi::kFilterCaseFlatImageNoSelection;
    if (withAdvanceState) record.advanceState = advanceStateStub;
    intptr_t data = 0;
    int16_t result = 0;
    entry(pi::kSelectorParameters, &record, &data, &result);
    c.expect(result == 0, std::string(label) + ": parameters returns 0");
    entry(pi::kSelectorPrepare, &record, &data, &result);
    c.expect(result == 0, std::string(label) + ": prepare returns 0");
    entry(pi::kSelectorStart, &record, &data, &result);
    return result;
}

int probeRefusal(pi::PluginMainProc entry) {
    Checks c;
    if (!haveDisplay()) {
        std::printf("no DISPLAY: dialog tests need an X server (run ctest under xvfb-run)\n");
        return kSkipped;
    }
    struct Case {
        const char* label;
        bool advanceState;
        int16_t mode;
        Refusal expected;
    } cases[] = {{"host without advanceState", false, pi::kModeRGB, Refusal::HostTooOld},
                 {"multichannel image", true, pi::kModeMultichannel, Refusal::Multichannel}};
    for (const Case& k : cases) {
        int16_t result = 0;
        DialogDriver driver([&](HWND dialog) {
            c.expect(dialog != nullptr, std::string(k.label) + ": a refusal appears");
            if (!dialog) return;
            c.expect(windowText(dialog) == "Plug-in error", std::string(k.label) + ": caption \"Plug-in error\"");
            c.expect(windowText(GetDlgItem(dialog, LF_REFUSAL_TEXT)) == refusalText(k.expected),
                     std::string(k.label) + ": message text");
            SendMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
            c.expect(waitClosed(dialog, 5000), std::string(k.label) + ": Cancel closes it");
        });
        driver.run([&] { result = runToStart(entry, k.advanceState, k.mode, c, k.label); });
        c.expect(result == 1, std::string(k.label) + ": start returns 1 (got " + std::to_string(result) + ")");
    }
    std::printf("%d failed checks\n", c.failed);
    return c.failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc != 3) {
        std::printf("usage: plugin_probe resources|about|refusal <module>\n");
        return 2;
    }
    std::string mode = argv[1];
    HMODULE module = LoadLibraryA(argv[2]);
    if (!module) {
        std::printf("cannot load %s (error %lu)\n", argv[2], GetLastError());
        return 1;
    }
    auto entry = reinterpret_cast<pi::PluginMainProc>(reinterpret_cast<void*>(GetProcAddress(module, "PluginMain")));
    if (mode == "resources") return probeResources(module);
    if (!entry) {
        std::printf("PluginMain not found\n");
        return 1;
    }
    if (mode == "about") return probeAbout(entry);
    if (mode == "refusal") return probeRefusal(entry);
    std::printf("unknown mode %s\n", mode.c_str());
    return 2;
}
