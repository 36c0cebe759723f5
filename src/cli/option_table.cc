#include "cli/option_table.h"

#include <algorithm>

#include "text/ascii_case.h"

namespace tocase {
namespace {

constexpr OptionRow rows[] = {
    {OptionAction::lower, 'l', "/L", {"lower"}, "convert to lowercase (the default)"},
    {OptionAction::upper, 'u', "/U", {"upper"}, "convert to uppercase"},
    {OptionAction::title, 't', "/T", {"title"}, "convert to title case: each word capitalized"},
    {OptionAction::directories, 'd', "/D", {"directories"}, "rename directories instead of files"},
    {OptionAction::mixed, '\0', "/MIXED", {"mixed"}, "also convert names that mix both cases, like ReadMe.Txt"},
    {OptionAction::recursive, 'r', "/R", {"recursive"}, "also in every subdirectory that is not hidden"},
    {OptionAction::preview, 'n', "/N", {"dry-run", "preview"}, "list what would be renamed, and rename nothing"},
    {OptionAction::allScripts, 'a', "/A", {"all-scripts"}, "letters of every script have a case, not only A to Z"},
    {OptionAction::extension, 'e', "/E", {"extension"}, "judge and convert the extension alone"},
    {OptionAction::undo, 'z', "/Z", {"undo"}, "take back the newest run started in this directory"},
    {OptionAction::shortHelp, '\0', "/?, /H", {}, "the short help screen"},
    {OptionAction::longHelp, '\0', "", {"help"}, "this help (it wins over /? and --version)"},
    {OptionAction::version, '\0', "", {"version"}, "the version"},
};

}  // namespace

std::span<const OptionRow> optionTable() { return rows; }

const OptionRow* optionOfLetter(char letter) {
    const char lower = foldAsciiCase(letter);
    const auto found =
        std::find_if(std::begin(rows), std::end(rows), [lower](const OptionRow& row) { return row.letter == lower; });
    return lower == '\0' || found == std::end(rows) ? nullptr : found;
}

const OptionRow* optionOfLongName(std::string_view name) {
    const auto found = std::find_if(std::begin(rows), std::end(rows), [name](const OptionRow& row) {
        return !name.empty() && (row.longNames[0] == name || row.longNames[1] == name);
    });
    return found == std::end(rows) ? nullptr : found;
}

}  // namespace tocase
