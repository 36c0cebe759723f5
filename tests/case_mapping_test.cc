#include "engine/case_mapping.h"

#include <gtest/gtest.h>

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
    struct Row {
        const char* name;
        bool toLower, mixed, converted;
    };
    const Row rows[] = {
        {"README.TXT", true, false, true},   {"readme.txt", true, false, false},
        {"ReadMe.txt", true, false, false},  {"123.45", true, false, false},
        {"readme.txt", false, false, true},  {"README.TXT", false, false, false},
        {"ReadMe.txt", false, false, false}, {"123.45", false, false, false},
        {"ReadMe.txt", true, true, true},    {"README.TXT", true, true, true},
        {"readme.txt", true, true, false},   {"123.45", true, true, false},
        {"ReadMe.txt", false, true, true},   {"readme.txt", false, true, true},
        {"README.TXT", false, true, false},  {"..", false, true, false},
        {"@[`{", true, true, false},         {"@[`{", false, true, false},
        {"A", true, false, true},            {"z", false, false, true},
        // Bytes from 0x80 up are not letters: they neither block nor cause it.
        {"\xC3\x84PFEL.TXT", true, false, true},  {"\xC3\xA4\xFF", true, true, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(needsConversion(row.name, row.toLower, row.mixed, noLeadBytes), row.converted)
            << row.name << " toLower=" << row.toLower << " mixed=" << row.mixed;
    }
}

TEST(ConvertCase, ChangesOnlyAsciiLetters) {
    std::string allBytes;
    for (int b = 1; b < 256; ++b) allBytes += static_cast<char>(b);
    const std::string lower = convertCase(allBytes, true, noLeadBytes);
    const std::string upper = convertCase(allBytes, false, noLeadBytes);
    for (std::size_t i = 0; i < allBytes.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(allBytes[i]);
        EXPECT_EQ(static_cast<unsigned char>(lower[i]), b >= 'A' && b <= 'Z' ? b + 32 : b) << int(b);
        EXPECT_EQ(static_cast<unsigned char>(upper[i]), b >= 'a' && b <= 'z' ? b - 32 : b) << int(b);
    }
}

TEST(ConvertCase, LeavesTheSecondByteOfADoubleByteCharacter) {
    EXPECT_EQ(convertCase("\x83\x41" "B.TXT", true, shiftJis), "\x83\x41" "b.txt");
    EXPECT_EQ(convertCase("\x83\x61" "b", false, shiftJis), "\x83\x61" "B");
    EXPECT_FALSE(needsConversion("\x83\x41", true, true, shiftJis));
    EXPECT_TRUE(needsConversion("\x83\x61" "B", true, false, shiftJis));
}

}  // namespace
}  // namespace tocase
