#include "cli/parse_command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tocase {
namespace {

// The options a parse leaves set: L or U, then M (/MIXED), D, R, N and H
// (help); then each argument left unused, with "?" after one that is no
// option and "+" after a second file specification.
std::string optionLetters(const RunSettings& s, const std::vector<UnusedArgument>& unused) {
    std::string letters = s.toLower ? "L" : "U";
    for (const auto& [set, letter] : {std::pair{s.mixed, 'M'}, {s.directoryMode, 'D'}, {s.recurse, 'R'},
                                      {s.preview, 'N'}, {s.showHelp, 'H'}}) {
        if (set) letters += letter;
    }
    for (const UnusedArgument& argument : unused) letters += " " + argument.argument + (argument.looksLikeOption ? "?" : "+");
    return letters;
}

TEST(ParseCommandLine, OptionsGoByTheirLetterAndTheFirstOtherArgumentIsTheFilespec) {
    struct Row {
        std::vector<std::string> arguments;
        std::string fileSpec;
        std::string options;
        bool posix = true;
    };
    const Row rows[] = {
        {{}, "", "L"},
        {{"*.TXT", "/u", "/l"}, "*.TXT", "L"},       {{"*.TXT", "/l", "/u"}, "*.TXT", "U"},
        {{"/R", "/d", "*.*"}, "*.*", "LDR"},         {{"a.txt", "b.txt", "", "c"}, "a.txt", "L b.txt+ + c+"},
        {{"", "a.txt"}, "a.txt", "L"},               {{"-?"}, "", "LH"},
        {{"/N", "-n", "+n"}, "+n", "LN"},            {{"/Nothing", "--recursive"}, "", "LN --recursive?"},
        {{"+?"}, "", "LH"},                          {{"/H"}, "", "LH"},
        {{"-help", "+hx", "x"}, "x", "LH"},          {{"/?", "*.txt"}, "*.txt", "LH"},
        {{"+x"}, "+x", "L"},                         {{"+r"}, "+r", "L"},
        {{"+MIXED"}, "+MIXED", "L"},                 {{"+"}, "+", "L"},
        {{"/Mixed", "f"}, "f", "LM"},                {{"-mIxEd", "f"}, "f", "LM"},
        {{"/Mix", "/MIXEDX", "/Mixer", "/Xixed", "f"}, "f", "L /Mix? /MIXEDX? /Mixer? /Xixed?"},  {{"-", "/X", "f"}, "f", "L -? /X?"},
        {{"/Recurse", "-r", "/r.txt"}, "", "LR"},    {{"/lower", "/upper"}, "", "U"},
        {{"/dirs"}, "", "LD"},                       {{"-u", "f", "-L"}, "f", "L"},
        // An absolute path holds a second separator; no option does.
        {{"/home/me/*.TXT"}, "/home/me/*.TXT", "L"}, {{"/R", "/mnt\\x", "/D"}, "/mnt\\x", "LDR"},
        {{"/DATA", "/*.TXT"}, "", "LD /*.TXT?"},             {{"/home/me/*.TXT"}, "", "LH", false},
        // Nothing is cut short.
        {{std::string(100000, 'x')}, std::string(100000, 'x'), "L"},
        {{"/" + std::string(100000, 'm')}, "", "L /" + std::string(100000, 'm') + "?"},
    };
    for (const Row& row : rows) {
        std::vector<const char*> pointers = {"tocase"};
        for (const std::string& argument : row.arguments) pointers.push_back(argument.c_str());
        PlatformFacts facts;
        facts.slashMayBeginPath = row.posix;
        // Leftovers from an earlier run must not survive the parse.
        RunSettings settings{7, 7, 7, "stale", false, true, true, true, true, true};
        std::vector<UnusedArgument> unused = {{"stale"}};
        parseCommandLine(settings, static_cast<int>(pointers.size()), pointers.data(), facts, unused);
        const std::string label = testing::PrintToString(row.arguments).substr(0, 60);
        EXPECT_EQ(settings.fileSpec, row.fileSpec) << label;
        EXPECT_EQ(optionLetters(settings, unused), row.options) << label;
        EXPECT_EQ(settings.convertedCount + settings.directoryCount + settings.failedCount, 0u) << label;
    }
}

}  // namespace
}  // namespace tocase
