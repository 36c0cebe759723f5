#include "cli/parse_command_line.h"

#include <string_view>
#include <utility>

#include "text/ascii_case.h"

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
    if (text.size() != lowerWord.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (foldAsciiCase(text[i]) != lowerWord[i]) {
            return false;
        }
    }
    return true;
}

enum class OptionUse { notAnOption, taken, unknown, unknownLong };

OptionUse takeOption(RunSettings& settings, std::string_view argument) {
    if (argument.empty()) {
        return OptionUse::notAnOption;
    }
    const char prefix = argument[0];
    const char letter = argument.size() >= 2 ? argument[1] : '\0';
    if (isHelpPrefix(prefix) && (letter == '?' || letter == 'h' || letter == 'H')) {
        settings.showHelp = true;
        return OptionUse::taken;
    }
    if (!isOptionPrefix(prefix)) {
        return OptionUse::notAnOption;
    }
    switch (letter) {
        case 'r': case 'R': settings.recurse = true; break;
        case 'l': case 'L': settings.toLower = true; break;
        case 'u': case 'U': settings.toLower = false; break;
        case 'd': case 'D': settings.directoryMode = true; break;
        case 'n': case 'N': settings.preview = true; break;
        case 'a': case 'A': settings.allScripts = true; break;
        case 'e': case 'E': settings.extensionOnly = true; break;
        case 'z': case 'Z': settings.takeBack = true; break;
        default:
            if (!equalsIgnoringAsciiCase(argument.substr(1), "mixed")) {
                return OptionUse::unknown;
            }
            settings.mixed = true;
            break;
    }
    return OptionUse::taken;
}

// Each GNU long option stands for the short form beside it; only the exact
// name counts, so that no misspelt one is taken for another.
constexpr std::pair<std::string_view, std::string_view> longOptions[] = {
    {"--lower", "-L"},       {"--upper", "-U"},           {"--directories", "-D"}, {"--mixed", "-MIXED"},
    {"--recursive", "-R"},   {"--dry-run", "-N"},         {"--preview", "-N"},     {"--all-scripts", "-A"},
    {"--extension", "-E"},   {"--undo", "-Z"},
};

OptionUse takeLongOption(RunSettings& settings, CommandLine& commandLine, std::string_view argument) {
    if (argument == "--help") {
        commandLine.longHelp = true;
        return OptionUse::taken;
    }
    if (argument == "--version") {
        commandLine.version = true;
        return OptionUse::taken;
    }
    for (const auto& [name, shortForm] : longOptions) {
        if (argument == name) {
            return takeOption(settings, shortForm);
        }
    }
    return OptionUse::unknownLong;
}

Unused whyUnused(OptionUse use) {
    switch (use) {
        case OptionUse::unknown: return Unused::unknownOption;
        case OptionUse::unknownLong: return Unused::unknownLongOption;
        default: return Unused::extraFileSpec;
    }
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
        const OptionUse use = optionsEnded || isAbsolutePath(argument, facts) ? OptionUse::notAnOption
                              : argument.starts_with("--")                  ? takeLongOption(settings, commandLine, argument)
                                                                            : takeOption(settings, argument);
        if (use == OptionUse::taken) {
            continue;
        }
        if (use == OptionUse::notAnOption && settings.fileSpec.empty()) {
            settings.fileSpec = argument;
        } else {
            commandLine.unused.push_back({std::string(argument), whyUnused(use)});
        }
    }
}

}  // namespace tocase
