#include "cli/parse_command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tocase {
namespace {

RunSettings parse(std::vector<std::string> arguments, bool posix = true) {
    arguments.insert(arguments.begin(), "tocase");
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
    PlatformFacts facts;
    facts.slashMayBeginPath = posix;
    RunSettings settings;
    // Leftovers from an earlier run must not survive the parse.
    settings.convertedCount = 7;
    settings.toLower = false;
    settings.fileSpec = "stale";
    parseCommandLine(settings, static_cast<int>(pointers.size()), pointers.data(), facts);
    return settings;
}

struct Expected {
    std::vector<std::string> arguments;
    std::string fileSpec;
    bool toLower = true;
    bool mixed = false;
    bool directoryMode = false;
    bool recurse = false;
    bool showHelp = false;
};

TEST(ParseCommandLine, TableOfArgumentLists) {
    const std::vector<Expected> table = {
        {{}, ""},
        {{"*.TXT", "/u", "/l"}, "*.TXT"},
        {{"*.TXT", "/l", "/u"}, "*.TXT", false},
        {{"/R", "/d", "*.*"}, "*.*", true, false, true, true},
        {{"a.txt", "b.txt"}, "a.txt"},
        {{"", "a.txt"}, "a.txt"},
        {{"-?"}, "", true, false, false, false, true},
        {{"+?"}, "", true, false, false, false, true},
        {{"/H"}, "", true, false, false, false, true},
        {{"-help"}, "", true, false, false, false, true},
        {{"+hx", "x"}, "x", true, false, false, false, true},
        {{"+x"}, "+x"},
        {{"+r"}, "+r"},
        {{"+MIXED"}, "+MIXED"},
        {{"+"}, "+"},
        {{"/Mixed", "f"}, "f", true, true},
        {{"-mIxEd", "f"}, "f", true, true},
        {{"/Mix", "f"}, "f"},
        {{"/MIXEDX", "f"}, "f"},
        {{"-"}, ""},
        {{"/"}, ""},
        {{"/X", "f"}, "f"},
        {{"/Recurse", "-r", "/r.txt"}, "", true, false, false, true},
        {{"/lower", "/upper"}, "", false},
        {{"/dirs"}, "", true, false, true},
        {{"-u", "f", "-L"}, "f"},
        {{"/?", "*.txt"}, "*.txt", true, false, false, false, true},
    };
    for (const Expected& e : table) {
        const RunSettings s = parse(e.arguments);
        std::string label;
        for (const std::string& a : e.arguments) label += "[" + a + "]";
        EXPECT_EQ(s.fileSpec, e.fileSpec) << label;
        EXPECT_EQ(s.toLower, e.toLower) << label;
        EXPECT_EQ(s.mixed, e.mixed) << label;
        EXPECT_EQ(s.directoryMode, e.directoryMode) << label;
        EXPECT_EQ(s.recurse, e.recurse) << label;
        EXPECT_EQ(s.showHelp, e.showHelp) << label;
        EXPECT_EQ(s.convertedCount + s.directoryCount + s.failedCount, 0u) << label;
    }
}

TEST(ParseCommandLine, AbsolutePosixPathsAreFileSpecs) {
    EXPECT_EQ(parse({"/home/me/*.TXT"}).fileSpec, "/home/me/*.TXT");
    EXPECT_FALSE(parse({"/home/me/*.TXT"}).showHelp);
    EXPECT_EQ(parse({"/mnt\\x"}).fileSpec, "/mnt\\x");
    EXPECT_EQ(parse({"/R", "/mnt/usb/*", "/D"}).fileSpec, "/mnt/usb/*");
    // One component after the root is still an option.
    EXPECT_EQ(parse({"/DATA"}).fileSpec, "");
    EXPECT_TRUE(parse({"/DATA"}).directoryMode);
    EXPECT_EQ(parse({"/*.TXT"}).fileSpec, "");
    // Where paths never begin with a slash, the same text is an option.
    const RunSettings windows = parse({"/home/me/*.TXT"}, false);
    EXPECT_EQ(windows.fileSpec, "");
    EXPECT_TRUE(windows.showHelp);
}

TEST(ParseCommandLine, KeepsVeryLongArgumentsWhole) {
    const std::string longSpec(100000, 'x');
    EXPECT_EQ(parse({longSpec}).fileSpec, longSpec);
    EXPECT_FALSE(parse({"/" + std::string(100000, 'm')}).mixed);
    EXPECT_EQ(parse({"/" + std::string(100000, 'm')}).fileSpec, "");
}

TEST(ParseCommandLine, NothingAfterTheProgramNameGivesDefaults) {
    RunSettings settings;
    settings.recurse = true;
    parseCommandLine(settings, 0, nullptr, PlatformFacts{});
    EXPECT_FALSE(settings.recurse);
    EXPECT_TRUE(settings.toLower);
    EXPECT_TRUE(settings.fileSpec.empty());
}

}  // namespace
}  // namespace tocase
