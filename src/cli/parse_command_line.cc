#include "cli/parse_command_line.h"

#include <algorithm>
#include <string_view>

#include "cli/option_table.h"
#include "text/ascii_case.h"
#include "text/utf8.h"

namespace tocase {
namespace {

bool isOptionPrefix(char c) { return c == '-' || c == '/'; }

bool isHelpPrefix(char c) { return c == '-' || c == '/' || c == '+'; }

// /home/me/*.TXT: no option holds a second separator.
bool isAbsolutePath(std::string_view argument, const PlatformFacts& facts) {
    return facts.slashMayBeginPath && argument.size() > 1 && argument[0] == '/' &&
           argument.substr(1).find_first_of("/\\") != std::string_view::npos;
}

bool equalsIgnoringAsciiCase(std::string_view text, std::string_view lowerWord) {
    return std::equal(text.begin(), text.end(), lowerWord.begin(), lowerWord.end(),
                      [](char a, char b) { return foldAsciiCase(a) == b; });
}

// Dashes and minus signs that a page or a word processor puts where '-'
// was typed.
bool isLookAlikeDash(char32_t c) {
    return (c >= 0x2010 && c <= 0x2015) || c == 0x2212 || c == 0xFE58 || c == 0xFE63 || c == 0xFF0D;
}

bool beginsWithLookAlikeDash(std::string_view argument) {
    if (argument.empty()) {
        return false;
    }
    const NameUnit first = decodeNameUnit(argument, 0, false);
    return first.valid && isLookAlikeDash(first.codePoint);
}

// How many characters follow the prefix: one letter, or a word.
bool holdsOneCharacterAfterPrefix(std::string_view argument) {
    return argument.size() >= 2 && decodeNameUnit(argument, 1, false).length == argument.size() - 1;
}

enum class OptionUse { notAnOption, taken, unknown, refused };

void apply(RunSettings& settings, CommandLine& commandLine, OptionAction action) {
    switch (action) {
        case OptionAction::lower: settings.targetCase = TargetCase::lower; break;
        case OptionAction::upper: settings.targetCase = TargetCase::upper; break;
        case OptionAction::title: settings.targetCase = TargetCase::title; break;
        case OptionAction::directories: settings.directoryMode = true; break;
        case OptionAction::mixed: settings.mixed = true; break;
        case OptionAction::recursive: settings.recurse = true; break;
        case OptionAction::preview: settings.preview = true; break;
        case OptionAction::allScripts: settings.allScripts = true; break;
        case OptionAction::extension: settings.extensionOnly = true; break;
        case OptionAction::undo: settings.takeBack = true; break;
        case OptionAction::shortHelp: settings.showHelp = true; break;
        case OptionAction::longHelp: commandLine.longHelp = true; break;
        case OptionAction::version: commandLine.version = true; break;
    }
}

// A / word, or - and one letter: the letter after the prefix alone counts,
// /MIXED aside, which is the whole word in any case.
OptionUse takeLetterWord(RunSettings& settings, CommandLine& commandLine, std::string_view argument) {
    const char letter = argument.size() >= 2 ? argument[1] : '\0';
    if (const OptionRow* row = optionOfLetter(letter)) {
        apply(settings, commandLine, row->action);
        return OptionUse::taken;
    }
    if (equalsIgnoringAsciiCase(argument.substr(1), "mixed")) {
        settings.mixed = true;
        return OptionUse::taken;
    }
    return OptionUse::unknown;
}

// -rn is -r -n, as GNU tools read it; the last of -l, -u and -t wins.
bool takeBundle(RunSettings& settings, CommandLine& commandLine, std::string_view letters) {
    if (!std::all_of(letters.begin(), letters.end(), [](char c) { return optionOfLetter(c) != nullptr; })) {
        return false;
    }
    for (const char letter : letters) {
        apply(settings, commandLine, optionOfLetter(letter)->action);
    }
    return true;
}

// A - word of several characters: a bundle of letters, -mixed, or a long
// option's name after one dash; anything else is refused, as a misspelt
// long option is, rather than read by its first letter into something that
// renames what was not asked.
OptionUse takeDashWord(RunSettings& settings, CommandLine& commandLine, std::string_view argument) {
    const std::string_view word = argument.substr(1);
    if (takeBundle(settings, commandLine, word)) {
        return OptionUse::taken;
    }
    if (equalsIgnoringAsciiCase(word, "mixed")) {
        settings.mixed = true;
        return OptionUse::taken;
    }
    if (const OptionRow* row = optionOfLongName(word)) {
        apply(settings, commandLine, row->action);
        return OptionUse::taken;
    }
    return OptionUse::refused;
}

// Only the exact name counts, so that no misspelt one is taken for another.
OptionUse takeLongOption(RunSettings& settings, CommandLine& commandLine, std::string_view argument) {
    const OptionRow* row = optionOfLongName(argument.substr(2));
    if (row == nullptr) {
        return OptionUse::refused;
    }
    apply(settings, commandLine, row->action);
    return OptionUse::taken;
}

struct Judged {
    OptionUse use;
    Unused whyUnused;
};

Judged judge(RunSettings& settings, CommandLine& commandLine, std::string_view argument, const PlatformFacts& facts) {
    if (argument.empty() || isAbsolutePath(argument, facts)) {
        return {OptionUse::notAnOption, Unused::extraFileSpec};
    }
    if (beginsWithLookAlikeDash(argument)) {
        return {OptionUse::refused, Unused::lookAlikeDash};
    }
    const char prefix = argument[0];
    const char letter = argument.size() >= 2 ? argument[1] : '\0';
    if (isHelpPrefix(prefix) && (letter == '?' || letter == 'h' || letter == 'H')) {
        settings.showHelp = true;
        return {OptionUse::taken, Unused::unknownOption};
    }
    if (argument.starts_with("--")) {
        return {takeLongOption(settings, commandLine, argument), Unused::unknownLongOption};
    }
    if (prefix == '-' && argument.size() > 2 && !holdsOneCharacterAfterPrefix(argument)) {
        return {takeDashWord(settings, commandLine, argument), Unused::unknownDashWord};
    }
    if (isOptionPrefix(prefix)) {
        return {takeLetterWord(settings, commandLine, argument), Unused::unknownOption};
    }
    return {OptionUse::notAnOption, Unused::extraFileSpec};
}

}  // namespace

void parseCommandLine(RunSettings& settings, int argumentCount, const char* const* arguments,
                      const PlatformFacts& facts, CommandLine& commandLine) {
    settings = RunSettings{};
    commandLine = CommandLine{};
    // After "--" every argument is a file name: tocase -- -file.txt
    bool optionsEnded = false;
    for (int i = 1; i < argumentCount; ++i) {
        const std::string_view argument = arguments[i];
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
            continue;
        }
        const Judged judged = optionsEnded ? Judged{OptionUse::notAnOption, Unused::extraFileSpec}
                                           : judge(settings, commandLine, argument, facts);
        if (judged.use == OptionUse::taken) {
            continue;
        }
        if (judged.use == OptionUse::notAnOption && settings.fileSpec.empty()) {
            settings.fileSpec = argument;
        } else {
            commandLine.unused.push_back({std::string(argument), judged.whyUnused});
        }
    }
}

}  // namespace tocase
