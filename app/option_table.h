// Every command of `lumenfall` and every option, in one list: the help
// pages, the manual page and the parsers' lists of options that take a
// value all come from it, so they cannot disagree.
#ifndef LUMENFALL_APP_OPTION_TABLE_H
#define LUMENFALL_APP_OPTION_TABLE_H

#include <set>
#include <string>
#include <vector>

namespace lumenfall {

// The commands, as bits of OptionInfo::commands.
enum CommandBit : unsigned {
    kCmdRender = 1u << 0,
    kCmdPsd = 1u << 1,
    kCmdPresetsPage = 1u << 2,
    kCmdDotsPage = 1u << 3,
    kCmdPresetShow = 1u << 4,
    kCmdPresetSave = 1u << 5,
    kCmdPresetRoll = 1u << 6,
    kCmdSettings = 1u << 7,
    kCmdAbout = 1u << 8,
    kCmdPresetList = 1u << 9,
};

struct OptionInfo {
    const char* names;      // "-o, --output": the short name first when there is one
    const char* value;      // "FILE", or null for a switch
    const char* help;       // one or more sentences
    unsigned commands;      // the commands that accept it
    bool hostTest = false;  // an option for testing the host, listed apart
};

struct CommandInfo {
    const char* name;         // "render", "preset save"
    unsigned bit;
    const char* synopsis;     // the words after "lumenfall NAME"
    const char* summary;      // one line for the command list
    const char* description;  // the paragraph of its help page
};

const std::vector<OptionInfo>& optionTable();
const std::vector<CommandInfo>& commandTable();

// The command named (bit 0 when there is none such).
const CommandInfo* findCommand(const std::string& name);

// The option names of a command that take a value ("-o", "--output", ...).
std::set<std::string> optionsWithValues(unsigned command);

// Whether `word` names an option of the command.
bool commandHasOption(unsigned command, const std::string& word);

// The help pages: the general one and one command's.
std::string generalHelp();
std::string commandHelp(const CommandInfo& command);

// The manual page, in mdoc.
std::string manualPage();

}  // namespace lumenfall

#endif
