#include "option_table.h"

#include <cctype>
#include <cstring>

#include "product_version.h"

namespace lumenfall {
namespace {

constexpr unsigned kCmdPresetWrite = kCmdPresetSave | kCmdPresetRoll;
// The commands that render through the plug-in and read a picture.
constexpr unsigned kCmdRendering = kCmdRender | kCmdPsd | kCmdDotsPage | kCmdPresetWrite;
constexpr unsigned kCmdWriting = kCmdRendering | kCmdPresetsPage;

const char* const kTransparencyNote =
    "Transparency: every glue mode but \"composite\" makes an image with transparency opaque where the sun "
    "is drawn, as the plug-in's compositor does; the pixels the sun does not reach keep their alpha. Use "
    "--set \"glue=composite\" to keep the sun's own transparency.";

const char* const kCentreStepsNote =
    "Preset files store the X and Y centre in steps of 1/65536, so a preset saved from the defaults holds "
    "X center 0.6499939 rather than 0.65 and its render can place the sun one pixel away from the default "
    "render.";

}  // namespace

const std::vector<OptionInfo>& optionTable() {
    static const std::vector<OptionInfo> table = {
        {"-o, --output", "FILE",
         "The image to write: PNG (.png), JPEG (.jpg, .jpeg) or TIFF (.tif, .tiff) by its name, or --format; "
         "- writes PNG to standard output (never to a terminal). Without it the result goes to lumenfall.png. "
         "With several inputs: a folder, ending in a separator, made when missing.",
         kCmdRender},
        {"-o, --output", "OUT.psd", "The layered PSD file to write.", kCmdPsd},
        {"-o, --output", "PAGE.html", "The page to write; its pictures go to the folder web_images beside it.",
         kCmdPresetsPage | kCmdDotsPage},
        {"-o, --output", "FILE", "The preset file (.q4q) to write.", kCmdPresetWrite},
        {"--output-pattern", "PATTERN",
         "Batches: the output of each input, where {name} is the input's name without its ending and {ext} the "
         "format's (\"out/{name}-sun.{ext}\"); missing folders are made.",
         kCmdRender},
        {"--jobs", "N", "Batches: render N images at a time (1 to 256).", kCmdRender},
        {"--format", "png|jpeg|tiff", "The output's format, whatever its name ends in (see --force-name).",
         kCmdRender},
        {"--force-name", nullptr,
         "Write also when the output's name ends in the ending of another kind of file than the one written "
         "(an image, a PSD file, a page or a preset).",
         kCmdRender | kCmdPsd | kCmdPresetsPage | kCmdDotsPage | kCmdPresetWrite},
        {"--quality", "N", "JPEG quality, 1 to 100 (92).", kCmdRender},
        {"--subsampling", "444|422|420", "JPEG chroma subsampling (420).", kCmdRender},
        {"--selection", "MASK",
         "A grey image of the same size: where it is black the image is left exactly as it was, grey values "
         "blend.",
         kCmdRender},
        {"--rect", "X,Y,W,H",
         "Filter only this rectangle of the picture (W x H pixels from column X, row Y), as an image editor "
         "with a rectangular selection does: the plug-in sees it inside the whole picture, and every pixel "
         "outside it stays exactly as it was. It must lie inside the picture.",
         kCmdRender},
        {"--depth", "8|16", "Convert the input to this depth first.", kCmdRender | kCmdPsd},
        {"--grey", nullptr, "Convert the input to grey first (also --gray).", kCmdRender | kCmdPsd},
        {"--alpha", nullptr, "Give the input an alpha channel (editable transparency).", kCmdRender},
        {"--set", "NAME=VALUE",
         "A setting by its scripting name, for example --set \"sun radius=60\" --set \"glue=screen\" "
         "(repeatable; a later one wins; see 'lumenfall settings').",
         kCmdRender | kCmdPsd | kCmdPresetSave},
        {"--preset", "FILE|NAME",
         "Start from the settings of a preset file, or of the library preset NAME (see 'lumenfall preset "
         "list'); --set still wins. Colour low bytes, the Z components and "
         "reserved colour B are not carried by a descriptor and so do not reach the render.",
         kCmdRender | kCmdPsd},
        {"--from", "FILE", "Start from the settings of this preset file instead of the defaults.", kCmdPresetSave},
        {"--seed", "N", "Roll the same sun every time (0 to 4294967295).", kCmdPresetRoll},
        {"--image", "PICTURE", "Render the thumbnail on this picture instead of the built-in sample picture.",
         kCmdPresetWrite},
        {"--no-thumbnail", nullptr, "Store no thumbnail (no render).", kCmdPresetWrite},
        {"--icc", "FILE",
         "The host offers this ICC colour profile in place of the input's; the output (or every picture of the "
         "page) carries it. A file that is not an ICC profile is refused.",
         kCmdRender | kCmdPsd | kCmdPresetsPage | kCmdDotsPage},
        {"--strict", nullptr, "Damaged preset files are an error instead of being left off the page.",
         kCmdPresetsPage},
        {"--open", nullptr, "Show the page when it is written.", kCmdPresetsPage | kCmdDotsPage},
        {"--record", nullptr, "Print the settings the run recorded, as NAME=VALUE lines for --set.", kCmdRender},
        {"--last", nullptr, "Start from the settings cached by the last dialog run instead of the defaults.",
         kCmdRender},
        {"--play-dialog", nullptr, "Play back with the dialog shown, as a host replaying a script.", kCmdRender},
        {"--repeat", "N", "Run the filter N times in one process, as a host repeats it.", kCmdRender},
        {"--set-once", nullptr, "With --repeat, the --set values reach only the first run.", kCmdRender},
        {"--dialog", nullptr,
         "Run interactively: the dialog opens on the cached settings (or on the --set values); the Windows build "
         "has the dialog.",
         kCmdRender},
        {"--ui-script", "FILE", "Drive the dialog from a script (Windows build).", kCmdRender},
        {"--colour-reply", "R,G,B", "Offer the host's colour picker, answering with this colour.", kCmdRender},
        {"--plugin", "PATH", "The plug-in module to load (default: the one beside this program).",
         kCmdRender | kCmdPsd | kCmdDotsPage | kCmdPresetWrite},
        {"--log", "FILE", "Write the host's log of calls and its memory counters.", kCmdRender},
        {"--bench", nullptr, "Print the time and megapixels per second of every run (with --repeat).", kCmdRender},
        {"--threads", "N", "Threads the plug-in shares each row among, 1 to 64 (default: the machine's cores).",
         kCmdRendering},
        {"--memory-limit", "SIZE",
         "Refuse work that needs more memory than this (2G, 500M or a number of bytes; default: what the system "
         "allows).",
         kCmdRendering},
        {"--allow-damaged", nullptr,
         "Keep what decodes from a cut or corrupt input picture, with a warning, instead of failing.",
         kCmdRendering},
        {"--host-sig", "XXXX", "The host signature the plug-in sees.", kCmdRender},
        {"--host-profile", "NAME",
         "Behave as another family of hosts: quirky-handles, host-loops, minimal, dialog-every-run, "
         "no-parameters-selector, prepare-twice, cancel-after-start.",
         kCmdRender},
        {"-q, --quiet", nullptr, "No progress and no messages on success.", kCmdWriting},
        {"-h, --help", nullptr, "Show the command's help.", ~0u},
        {"--no-advance-state", nullptr, "Offer no advanceState callback.", kCmdRender, true},
        {"--no-buffer-suite", nullptr, "Offer no buffer suite.", kCmdRender, true},
        {"--no-display-pixels", nullptr, "Offer no displayPixels callback.", kCmdRender, true},
        {"--no-sampling", nullptr, "Offer no sampling support.", kCmdRender, true},
        {"--fail-buffer", "N", "The N-th buffer allocation fails.", kCmdRender, true},
        {"--fail-advance", "N", "The N-th advanceState call fails.", kCmdRender, true},
        {"--abort-at", "N", "The N-th abort check cancels.", kCmdRender | kCmdPsd, true},
        {"--image-mode", "N", "The host image mode the plug-in sees.", kCmdRender, true},
        {"--fail-write", "N", "The N-th write of the file fails.", kCmdPsd, true},
    };
    return table;
}

const std::vector<CommandInfo>& commandTable() {
    static const std::vector<CommandInfo> table = {
        {"render", kCmdRender, "[INPUT...] [-o OUTPUT] [options]", "draw the sun into pictures",
         "Draws the sun into INPUT: PNG (1 to 16 bits, grey, palette or RGB, with or without alpha), JPEG "
         "(grey, RGB or CMYK) or TIFF (8 or 16 bits, grey, RGB, palette or CMYK, strips or tiles, with or "
         "without alpha). Without INPUT the built-in sample picture is used; - reads standard input. Several "
         "inputs (or one with -o DIR/ or --output-pattern) are a batch: every output is checked against every "
         "input before the first render. No output may be a file the run reads; an existing output is replaced "
         "only when the new file is complete, and Ctrl-C or any ending signal leaves no partial file."},
        {"psd", kCmdPsd, "[INPUT] -o OUT.psd [options]", "render into a layered PSD file",
         "Renders the sun into INPUT (or the built-in sample picture) as a layer with transparency and writes "
         "it as a layered PSD file with the merged image. A PSD file holds at most 30000 pixels on a side."},
        {"presets-page", kCmdPresetsPage, "DIR -o PAGE.html [options]", "an HTML page of a folder of presets",
         "Writes an HTML page of every preset (.q4q) in DIR with its thumbnail; the pictures and the frame "
         "images go to the folder web_images beside the page. A folder that is missing or holds no presets is "
         "an error; damaged presets are named on standard error and left off the page."},
        {"dots-page", kCmdDotsPage, "-o PAGE.html [INPUT] [options]", "an HTML page of the memory dots",
         "Writes the HTML page of the memory dots the dialog keeps, each rendered through the plug-in with the "
         "dot's settings on INPUT (or the built-in sample picture) scaled to 300 pixels on its longer side. "
         "Without kept dots the page has no pictures."},
        {"preset show", kCmdPresetShow, "FILE", "print a preset file",
         "Prints the preset file's version, its settings as NAME=VALUE lines for --set, and its thumbnail."},
        {"preset save", kCmdPresetSave, "-o FILE [options]", "write a preset file",
         "Writes a preset: the defaults, or the settings of --from, changed by --set; its 128x128 thumbnail is "
         "rendered through the plug-in on the sample picture or --image."},
        {"preset roll", kCmdPresetRoll, "-o FILE [options]", "write a random sun as a preset file",
         "Writes a random sun, as the dialog's dice roll it (--seed makes it repeatable)."},
        {"preset list", kCmdPresetList, "", "list the installed preset library",
         "Prints the name of every preset of the installed library, one a line; --preset NAME renders with "
         "one of them."},
        {"settings", kCmdSettings, "", "list every setting --set accepts",
         "Lists every setting that --set accepts, with its key, kind and default."},
        {"about", kCmdAbout, "", "show what the plug-in says about itself",
         "Shows what the plug-in says about itself."},
    };
    return table;
}

const CommandInfo* findCommand(const std::string& name) {
    for (const CommandInfo& c : commandTable())
        if (name == c.name) return &c;
    return nullptr;
}

namespace {

// "-o, --output" -> {"-o", "--output"}
std::vector<std::string> namesOf(const OptionInfo& o) {
    std::vector<std::string> names;
    std::string text = o.names;
    size_t at = 0;
    while (at < text.size()) {
        size_t comma = text.find(", ", at);
        if (comma == std::string::npos) comma = text.size();
        names.push_back(text.substr(at, comma - at));
        at = comma + 2;
    }
    if (std::strcmp(o.names, "--grey") == 0) names.push_back("--gray");
    return names;
}

// Lines of at most `width` characters, each after `indent`.
std::string wrapped(const std::string& text, size_t indent, size_t width, bool indentFirst) {
    std::string out, line;
    const std::string pad(indent, ' ');
    bool first = true;
    size_t at = 0;
    auto flush = [&] {
        out += (first && !indentFirst ? "" : pad) + line + "\n";
        first = false;
        line.clear();
    };
    while (at < text.size()) {
        size_t space = text.find(' ', at);
        if (space == std::string::npos) space = text.size();
        const std::string word = text.substr(at, space - at);
        if (!line.empty() && line.size() + 1 + word.size() > width - indent) flush();
        line += (line.empty() ? "" : " ") + word;
        at = space + 1;
    }
    if (!line.empty()) flush();
    return out;
}

std::string optionLabel(const OptionInfo& o) {
    return std::string(o.names) + (o.value ? std::string(" ") + o.value : std::string());
}

std::string optionLines(unsigned commands, bool hostTest) {
    std::string out;
    for (const OptionInfo& o : optionTable()) {
        if (!(o.commands & commands) || o.hostTest != hostTest) continue;
        std::string label = "  " + optionLabel(o);
        if (label.size() < 26) {
            label.resize(26, ' ');
            out += label + wrapped(o.help, 26, 100, false);
        } else {
            out += label + "\n" + wrapped(o.help, 26, 100, true);
        }
    }
    return out;
}

const char* const kExitText =
    "Exit codes: 0 success, 1 failure (a file that cannot be read or written, damage, not enough memory), "
    "2 a usage error (found before anything is read or written), 128 + N when signal N ended the run "
    "(130 for Ctrl-C).";

// mdoc text lines: a new sentence on a new line, lines kept under 80
// bytes, backslashes and a leading dot or apostrophe escaped.
std::string roffParagraph(const std::string& text) {
    std::vector<std::string> sentences(1);
    for (size_t i = 0; i < text.size(); ++i) {
        sentences.back() += text[i];
        if (text[i] == '.' && i + 2 < text.size() && text[i + 1] == ' ' &&
            std::isupper(static_cast<unsigned char>(text[i + 2]))) {
            sentences.emplace_back();
            ++i;
        }
    }
    std::string out;
    for (const std::string& sentence : sentences) {
        const std::string lines = wrapped(sentence, 0, 78, true);
        size_t at = 0;
        while (at < lines.size()) {
            const size_t end = lines.find('\n', at);
            std::string line;
            for (char c : lines.substr(at, end - at)) line += c == '\\' ? std::string("\\e") : std::string(1, c);
            if (!line.empty() && (line[0] == '.' || line[0] == '\'')) line = "\\&" + line;
            out += line + "\n";
            at = end + 1;
        }
    }
    return out;
}

std::string roffText(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\\' ? std::string("\\e") : std::string(1, c);
    return out;
}

}  // namespace

std::set<std::string> optionsWithValues(unsigned command) {
    std::set<std::string> names;
    for (const OptionInfo& o : optionTable())
        if ((o.commands & command) && o.value)
            for (const std::string& n : namesOf(o)) names.insert(n);
    return names;
}

bool commandHasOption(unsigned command, const std::string& word) {
    for (const OptionInfo& o : optionTable())
        if (o.commands & command)
            for (const std::string& n : namesOf(o))
                if (n == word) return true;
    return false;
}

std::string commandHelp(const CommandInfo& c) {
    std::string out = std::string("Usage: lumenfall ") + c.name + (c.synopsis[0] ? " " : "") + c.synopsis + "\n";
    out += wrapped(c.description, 0, 100, true);
    if (c.bit & (kCmdRender | kCmdPsd)) out += wrapped(kTransparencyNote, 0, 100, true);
    if (c.bit & (kCmdPresetSave | kCmdPresetsPage)) out += wrapped(kCentreStepsNote, 0, 100, true);
    out += "\nOptions:\n" + optionLines(c.bit, false);
    const std::string tests = optionLines(c.bit, true);
    if (!tests.empty()) out += "\nHost test options:\n" + tests;
    out += "\n" + wrapped(kExitText, 0, 100, true);
    return out;
}

std::string generalHelp() {
    std::string out = "Usage: lumenfall <command> [options]\n"
                      "Draws fantasy suns into PNG, JPEG and TIFF pictures through the Lumenfall plug-in.\n\n"
                      "Commands:\n";
    for (const CommandInfo& c : commandTable()) {
        std::string label = std::string("  ") + c.name;
        label.resize(18, ' ');
        out += label + c.summary + "\n";
    }
    out += "\n'lumenfall COMMAND --help' shows a command's options. Every option:\n";
    for (const OptionInfo& o : optionTable()) {
        if (o.hostTest) continue;
        std::string label = "  " + optionLabel(o);
        std::string users;
        for (const CommandInfo& c : commandTable())
            if (o.commands & c.bit) users += (users.empty() ? "" : ", ") + std::string(c.name);
        if (o.commands == ~0u) users = "every command";
        const std::string text = std::string(o.help) + " [" + users + "]";
        if (label.size() < 26) {
            label.resize(26, ' ');
            out += label + wrapped(text, 26, 100, false);
        } else {
            out += label + "\n" + wrapped(text, 26, 100, true);
        }
    }
    out += "\n" + wrapped(kTransparencyNote, 0, 100, true);
    out += wrapped(kCentreStepsNote, 0, 100, true);
    out += wrapped(kExitText, 0, 100, true);
    return out;
}

std::string manualPage() {
    std::string out;
    out += ".Dd December 9, 2026\n.Dt LUMENFALL 1\n.Os\n.Sh NAME\n.Nm lumenfall\n"
           ".Nd draw fantasy suns into pictures through the Lumenfall plug-in\n.Sh SYNOPSIS\n";
    for (const CommandInfo& c : commandTable()) {
        out += ".Nm\n.Cm " + std::string(c.name) + "\n";
        if (c.synopsis[0]) out += ".Ar " + roffText(c.synopsis) + "\n";
    }
    out += ".Sh DESCRIPTION\n";
    out += roffParagraph("lumenfall " LF_PRODUCT_VERSION
                         " runs the Lumenfall filter plug-in in a host of its own and writes the result.");
    out += ".Bl -tag -width Ds\n";
    for (const CommandInfo& c : commandTable()) {
        out += ".It Cm " + std::string(c.name) + "\n" + roffParagraph(c.description);
        std::string names;
        for (const OptionInfo& o : optionTable())
            if ((o.commands & c.bit) && o.commands != ~0u) names += (names.empty() ? "" : ", ") + std::string(o.names);
        if (!names.empty()) out += roffParagraph("Options: " + names + ".");
    }
    out += ".El\n.Sh OPTIONS\n.Bl -tag -width Ds\n";
    for (const OptionInfo& o : optionTable()) {
        out += ".It";
        const std::vector<std::string> names = namesOf(o);
        for (size_t k = 0; k < names.size(); ++k) out += (k ? " , Fl " : " Fl ") + roffText(names[k].substr(1));
        if (o.value) out += " Ar " + roffText(o.value);
        out += "\n" + roffParagraph(o.help);
        std::string users;
        for (const CommandInfo& c : commandTable())
            if (o.commands & c.bit) users += (users.empty() ? "" : ", ") + std::string(c.name);
        out += roffParagraph(o.commands == ~0u ? "Every command." : "Commands: " + users + ".");
    }
    out += ".El\n.Sh EXIT STATUS\n" + roffParagraph(kExitText);
    out += ".Sh NOTES\n" + roffParagraph(kTransparencyNote) + ".Pp\n" + roffParagraph(kCentreStepsNote);
    return out;
}

}  // namespace lumenfall
