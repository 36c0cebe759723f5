#include "platform/name_match.h"

#include <gtest/gtest.h>

#include <string>

namespace tocase {
namespace {

struct MatchCase {
    const char* pattern;
    const char* name;
    bool matches;
};

TEST(MatchesNamePattern, WildcardsAndCase) {
    const MatchCase cases[] = {
        {"*.TXT", "readme.txt", true},   {"*.txt", "README.TXT", true},
        {"*.TXT", "readme.txt.bak", false}, {"*.TXT", "a.txt.TXT", true},
        {"README.TXT", "readme.txt", true}, {"README.TXT", "readme.tx", false},
        {"?.c", "a.c", true},            {"?.c", "ab.c", false},  {"?.c", ".c", false},
        {"*", "anything.at.all", true},  {"*", ".hidden", true},
        {"*.*", "noextension", true},    {"*.*", "a.b", true},    {"*.*", ".", true},
        {"README.*", "README", true},    {"README.*", "readme.md", true},
        {"README.*", "READMEX", false},  {"a*b*c", "aXbYc", true}, {"a*b*c", "aXbY", false},
        {"*a", "bbbba", true},           {"**", "", true},        {"", "x", false},
        {"", "", true},                  {"..", "..", true},      {".", "..", false},
        // Bytes 0x80 and up compare exactly, never folded.
        {"\xC3\x84*", "\xC3\x84pfel", true}, {"\xC3\xA4*", "\xC3\x84pfel", false},
        {"[a]", "a", false},             {"[a]", "[A]", true},
    };
    for (const MatchCase& c : cases) {
        EXPECT_EQ(matchesNamePattern(c.pattern, c.name), c.matches)
            << "pattern " << c.pattern << " name " << c.name;
    }
}

TEST(MatchesNamePattern, StaysFastOnHostilePatterns) {
    // Exponential backtracking would never finish on this.
    const std::string pattern = std::string(50, '*') + "b";
    const std::string name(100000, 'a');
    EXPECT_FALSE(matchesNamePattern(pattern, name));
    EXPECT_TRUE(matchesNamePattern(pattern, name + "B"));
}

}  // namespace
}  // namespace tocase
