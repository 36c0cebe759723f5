#ifndef TOCASE_CLI_OPTION_TABLE_H
#define TOCASE_CLI_OPTION_TABLE_H

#include <array>
#include <span>
#include <string_view>

namespace tocase {

// What an option asks for.
enum class OptionAction {
    lower,
    upper,
    title,
    directories,
    mixed,
    recursive,
    preview,
    allScripts,
    extension,
    undo,
    shortHelp,
    longHelp,
    version,
};

// One option: its letter after / or -, the forms --help shows it by, its
// long names, and what --help says of it. The parser's letters and long
// names, --help's list and the shell completions all come from the one
// table, so none can drift from the others.
struct OptionRow {
    OptionAction action;
    char letter;                 // '\0': none of its own (/MIXED, help, the long-only ones)
    std::string_view slashForm;  // as --help shows it: "/D", "/MIXED", "/?, /H"; empty when none
    std::array<std::string_view, 2> longNames;  // without the dashes; empty where fewer
    std::string_view description;
};

std::span<const OptionRow> optionTable();

// The row of an option letter, in either case; null when none.
const OptionRow* optionOfLetter(char letter);
// The row of a long name, spelt exactly, without its dashes; null when none.
const OptionRow* optionOfLongName(std::string_view name);

}  // namespace tocase

#endif
