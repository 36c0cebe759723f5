#include "cli/parse_command_line.h"

#include <string_view>

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

enum class OptionUse { notAnOption, taken, unknown };

OptionUse takeOption(RunSettings& settings, std::string_view argument) {
    if (argument.empty()) {
        return OptionUse::notAnOption;
    }
    const char prefix = argument[0];
    const char letter = argument.size() > 1 ? argument[1] : '\0';
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

}  // namespace

void parseCommandLine(RunSettings& settings, int argumentCount, const char* const* arguments,
                      const PlatformFacts& facts, std::vector<UnusedArgument>& unused) {
    settings = RunSettings{};
    unused.clear();
    for (int i = 1; i < argumentCount; ++i) {
        const std::string_view argument = arguments[i];
        const OptionUse use = isAbsolutePath(argument, facts) ? OptionUse::notAnOption : takeOption(settings, argument);
        if (use == OptionUse::taken) {
            continue;
        }
        if (use == OptionUse::notAnOption && settings.fileSpec.empty()) {
            settings.fileSpec = argument;
        } else {
            unused.push_back({std::string(argument), use == OptionUse::unknown});
        }
    }
}

}  // namespace tocase
