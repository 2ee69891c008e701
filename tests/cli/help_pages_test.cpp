// The help pages, the manual page and the parsers agree with the one option
// table: every option a command's page lists is accepted by that command,
// the general page and the manual page list every option, and the manual
// page passes mandoc's checks.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "cli_test_support.h"
#include "option_table.h"

using namespace lumenfall;
using namespace lumenfall_cli_test;

namespace {

const std::string kLumenfall = LF_LUMENFALL;

// The option names an option entry gives ("-o, --output" -> -o and --output).
std::vector<std::string> names(const OptionInfo& o) {
    std::vector<std::string> out;
    std::string text = o.names;
    for (size_t at = 0; at < text.size();) {
        size_t comma = text.find(", ", at);
        if (comma == std::string::npos) comma = text.size();
        out.push_back(text.substr(at, comma - at));
        at = comma + 2;
    }
    return out;
}

// Words after the option that end every parse with a usage error of their
// own, so that no work starts.
std::string stopper(unsigned command) {
    switch (command) {
        case kCmdRender: return " --preset x.q4q --last";
        case kCmdPsd:
        case kCmdDotsPage:
        case kCmdPresetsPage: return " one two";
        default: return " stray";
    }
}

}  // namespace

TEST(HelpPages, EveryCommandPageListsAndAcceptsItsOptions) {
    for (const CommandInfo& c : commandTable()) {
        int code = -1;
        const std::string page = run(kLumenfall + " " + c.name + " --help", &code);
        EXPECT_EQ(code, 0) << c.name;
        EXPECT_EQ(page.rfind(std::string("Usage: lumenfall ") + c.name, 0), 0u) << page;
        for (const OptionInfo& o : optionTable()) {
            if (!(o.commands & c.bit)) continue;
            for (const std::string& n : names(o)) {
                EXPECT_NE(page.find(n), std::string::npos) << c.name << " --help lacks " << n;
                if (c.bit & (kCmdSettings | kCmdAbout | kCmdPresetShow) || n == "-h" || n == "--help") continue;
                const std::string out =
                    run(kLumenfall + " " + c.name + " " + n + (o.value ? " 1" : "") + stopper(c.bit), &code);
                EXPECT_EQ(out.find("unknown option"), std::string::npos) << c.name << " " << n << ": " << out;
                EXPECT_EQ(out.find("takes no value"), std::string::npos) << c.name << " " << n << ": " << out;
                EXPECT_EQ(code, 2) << c.name << " " << n << ": " << out;
            }
        }
    }
    int code = -1;
    const std::string general = run(kLumenfall + " --help", &code);
    EXPECT_EQ(code, 0);
    EXPECT_NE(general.find("TIFF"), std::string::npos);
    EXPECT_NE(general.find("composite"), std::string::npos);
    EXPECT_NE(general.find("1/65536"), std::string::npos);
    for (const OptionInfo& o : optionTable()) {
        if (o.hostTest) continue;
        for (const std::string& n : names(o)) EXPECT_NE(general.find(n), std::string::npos) << n;
    }
}

TEST(HelpPages, TheManualPageIsCleanAndListsEveryOptionOfHelp) {
    const std::string manual = readFile(LF_MAN_PAGE);
    ASSERT_FALSE(manual.empty()) << LF_MAN_PAGE;
    int code = -1;
    const std::string lint = run("mandoc -T lint -W warning '" + std::string(LF_MAN_PAGE) + "'", &code);
    if (lint.find("not found") != std::string::npos) GTEST_SKIP() << "mandoc is not installed";
    EXPECT_EQ(lint, "");
    EXPECT_EQ(code, 0);
    // Every option word of every help page, as an mdoc flag.
    std::set<std::string> options;
    const std::regex word("(^|[ ,\\[])(--?[a-z][a-z-]*)");
    std::string pages = run(kLumenfall + " --help", &code);
    for (const CommandInfo& c : commandTable()) pages += run(kLumenfall + " " + c.name + " --help", &code);
    for (std::sregex_iterator it(pages.begin(), pages.end(), word), end; it != end; ++it) options.insert((*it)[2]);
    EXPECT_GT(options.size(), 40u);
    for (const std::string& o : options)
        EXPECT_NE(manual.find("Fl " + o.substr(1)), std::string::npos) << o << " is missing from the manual page";
}
