#include "engine/name_match.h"

#include <gtest/gtest.h>

#include <string>

namespace tocase {
namespace {

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

}  // namespace
}  // namespace tocase
