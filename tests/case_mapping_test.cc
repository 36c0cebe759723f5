#include "engine/case_mapping.h"

#include <gtest/gtest.h>

namespace tocase {
namespace {

struct DecisionCase {
    const char* name;
    bool toLower;
    bool mixed;
    bool converted;
};

TEST(NeedsConversion, FollowsTheDecisionTable) {
    const DecisionCase cases[] = {
        {"README.TXT", true, false, true},   {"readme.txt", true, false, false},
        {"ReadMe.txt", true, false, false},  {"123.45", true, false, false},
        {"readme.txt", false, false, true},  {"README.TXT", false, false, false},
        {"ReadMe.txt", false, false, false}, {"123.45", false, false, false},
        {"ReadMe.txt", true, true, true},    {"README.TXT", true, true, true},
        {"readme.txt", true, true, false},   {"123.45", true, true, false},
        {"ReadMe.txt", false, true, true},   {"readme.txt", false, true, true},
        {"README.TXT", false, true, false},  {"123.45", false, true, false},
        {".", true, true, false},            {"..", false, true, false},
        {"", true, false, false},            {"A", true, false, true},
        {"z", false, false, true},
        // Bytes from 0x80 up are not letters: they neither block nor cause it.
        {"\xC3\x84PFEL.TXT", true, false, true},  {"\xC3\xA4pfel", false, false, true},
        {"\xC3\xA4\xFF", true, true, false},
    };
    for (const DecisionCase& c : cases) {
        EXPECT_EQ(needsConversion(c.name, c.toLower, c.mixed), c.converted)
            << c.name << " toLower=" << c.toLower << " mixed=" << c.mixed;
    }
}

TEST(CaseMapping, ChangesOnlyAsciiLetters) {
    const std::string allBytes = [] {
        std::string s;
        for (int b = 1; b < 256; ++b) s += static_cast<char>(b);
        return s;
    }();
    const std::string lower = toLowerAscii(allBytes);
    const std::string upper = toUpperAscii(allBytes);
    ASSERT_EQ(lower.size(), allBytes.size());
    for (std::size_t i = 0; i < allBytes.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(allBytes[i]);
        const bool isUpper = b >= 'A' && b <= 'Z';
        const bool isLower = b >= 'a' && b <= 'z';
        EXPECT_EQ(static_cast<unsigned char>(lower[i]), isUpper ? b + 32 : b) << int(b);
        EXPECT_EQ(static_cast<unsigned char>(upper[i]), isLower ? b - 32 : b) << int(b);
    }
}

TEST(CaseMapping, KeepsEmbeddedNulAndLength) {
    const std::string name("A\0B", 3);
    EXPECT_EQ(toLowerAscii(name), std::string("a\0b", 3));
}

}  // namespace
}  // namespace tocase
