// The tables of the pure functions: the same on every system.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/parse_command_line.h"
#include "engine/case_mapping.h"
#include "engine/file_spec.h"
#include "engine/name_match.h"

namespace tocase {
namespace {

const LeadBytes noLeadBytes{};

// Shift JIS: 0x83 0x41 is one katakana whose second byte is the code of 'A'.
const LeadBytes shiftJis = [] {
    LeadBytes leadBytes{};
    for (int b = 0x81; b <= 0x9F; ++b) leadBytes[b] = true;
    return leadBytes;
}();

TEST(NeedsConversion, FollowsTheDecisionTable) {
    // Whether each name is converted to lowercase, to uppercase, and the
    // same with /MIXED. Bytes from 0x80 up are not letters: they neither
    // block a conversion nor cause one.
    const std::pair<const char*, const char*> rows[] = {
        {"README.TXT", "1010"}, {"readme.txt", "0101"}, {"ReadMe.txt", "0011"}, {"123.45", "0000"},
        {"..", "0000"},         {"@[`{", "0000"},       {"A", "1010"},          {"z", "0101"},
        {"\xC3\x84PFEL.TXT", "1010"}, {"\xC3\xA4\xFF", "0000"},
    };
    for (const auto& [name, expected] : rows) {
        std::string got;
        for (const bool mixed : {false, true}) {
            for (const bool toLower : {true, false}) got += needsConversion(name, toLower, mixed, noLeadBytes) ? '1' : '0';
        }
        EXPECT_EQ(got, expected) << name;
    }
}

TEST(ConvertCase, ChangesOnlyAsciiLetters) {
    // The codes either side of each range of letters, and bytes from 0x80 up.
    EXPECT_EQ(convertCase("@AZ[`az{\x01\x7F\x80\xC3\x84\xFF", true, noLeadBytes), "@az[`az{\x01\x7F\x80\xC3\x84\xFF");
    EXPECT_EQ(convertCase("@AZ[`az{\x01\x7F\x80\xC3\xA4\xFF", false, noLeadBytes), "@AZ[`AZ{\x01\x7F\x80\xC3\xA4\xFF");
}

TEST(ConvertCase, LeavesTheSecondByteOfADoubleByteCharacter) {
    EXPECT_EQ(convertCase("\x83\x41" "B.TXT", true, shiftJis), "\x83\x41" "b.txt");
    EXPECT_EQ(convertCase("\x83\x61" "b", false, shiftJis), "\x83\x61" "B");
    EXPECT_FALSE(needsConversion("\x83\x41", true, true, shiftJis));
    EXPECT_TRUE(needsConversion("\x83\x61" "B", true, false, shiftJis));
}

TEST(SplitFileSpec, PrefixEndsAfterTheLastSeparatorOrTheDrive) {
    PlatformFacts windows;
    windows.hasDriveLetters = true;
    // Shift JIS: 0x95 0x5C is one character whose second byte is the code of "\".
    PlatformFacts windowsShiftJis = windows;
    windowsShiftJis.leadBytes = shiftJis;
    const PlatformFacts posix;
    struct Row {
        const PlatformFacts& facts;
        std::string fileSpec, prefix;
    };
    const Row rows[] = {
        {windows, "C:\\Data\\*.TXT", "C:\\Data\\"}, {windows, "*.TXT", ""},
        {windows, "C:*.TXT", "C:"},                 {windows, "C:", "C:"},
        {windows, "data/sub\\*.txt", "data/sub\\"}, {windows, "a/b/", "a/b/"},
        {windows, "\\\\\\", "\\\\\\"},              {windows, "", ""},
        {windows, "x:y:z", "x:"},                   {posix, "C:*.TXT", ""},
        {posix, "/mnt/usb/*.TXT", "/mnt/usb/"},     {windowsShiftJis, "C:\\\x95\\*.TXT", "C:\\"},
        {windows, "C:\\\x95\\*.TXT", "C:\\\x95\\"}, {windowsShiftJis, "C:\\\x95", "C:\\"},
        {posix, std::string(100000, 'd') + "/" + std::string(300, 'n'), std::string(100000, 'd') + "/"},
    };
    for (const Row& row : rows) {
        const FileSpecParts parts = splitFileSpec(row.fileSpec, row.facts);
        EXPECT_EQ(parts.directoryPrefix, row.prefix) << row.fileSpec.substr(0, 40);
        EXPECT_EQ(parts.directoryPrefix + parts.namePattern, row.fileSpec) << row.fileSpec.substr(0, 40);
    }
}

TEST(MatchesNamePattern, WildcardsAndCase) {
    struct Row {
        const char* pattern;
        const char* name;
        bool matches;
    };
    const Row rows[] = {
        {"*.TXT", "readme.txt", true},      {"*.TXT", "readme.txt.bak", false}, {"*.TXT", "a.txt.TXT", true},
        {"README.TXT", "readme.txt", true}, {"README.TXT", "readme.tx", false}, {"?.c", "a.c", true},
        {"?.c", "ab.c", false},             {"?.c", ".c", false},               {"*", ".hidden", true},
        {"*.*", "noextension", true},       {"*.*", ".", true},                 {"README.*", "README", true},
        {"README.*", "readme.md", true},    {"README.*", "READMEX", false},     {"a*b*c", "aXbYc", true},
        {"a*b*c", "aXbY", false},           {"*a", "bbbba", true},              {"**", "", true},
        {"", "x", false},                   {".", "..", false},                 {"[a]", "[A]", true},
        {"@[`{", "@[`{", true},             {"@", "`", false},                  {"[", "{", false},
        // A star matches only what comes after the text before it.
        {"XA*AY", "XAY", false},
        // Bytes 0x80 and up compare exactly, never folded.
        {"\xC3\x84*", "\xC3\x84pfel", true}, {"\xC3\xA4*", "\xC3\x84pfel", false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(matchesNamePattern(row.pattern, row.name), row.matches) << row.pattern << " " << row.name;
    }
}

TEST(MatchesNamePattern, StaysFastOnHostilePatterns) {
    // Exponential backtracking would never finish on this.
    const std::string pattern = std::string(50, '*') + "b";
    EXPECT_FALSE(matchesNamePattern(pattern, std::string(100000, 'a')));
    EXPECT_TRUE(matchesNamePattern(pattern, std::string(100000, 'a') + "B"));
}

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
        {{"/" + std::string(100000, 'm')}, "", std::string("L /").append(100000, 'm').append("?")},
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
