// Case of every script by table: decoding, and conversion of names. Every
// code point against ICU is in unicode_oracle_test.cc.
#include <gtest/gtest.h>

#include <string>

#include "text/unicode_case.h"

namespace tocase {
namespace {

TEST(UnicodeCase, DecodesStrictUtf8UnitByUnit) {
    struct Row {
        std::string text;
        bool surrogatesAreCharacters;
        char32_t codePoint;
        std::size_t length;
    };
    const Row valid[] = {
        {"A", false, U'A', 1},                    {"\xC3\xA4", false, U'ä', 2},
        {"\xE0\xA0\x80", false, 0x800, 3},        {"\xEF\xBF\xBF", false, 0xFFFF, 3},
        {"\xF0\x90\x80\x80", false, 0x10000, 4},  {"\xF4\x8F\xBF\xBF", false, 0x10FFFF, 4},
        {"\xED\x9F\xBF", false, 0xD7FF, 3},       {"\xED\xA0\x80", true, 0xD800, 3},
        {"\xED\xBF\xBF", true, 0xDFFF, 3},
    };
    for (const Row& row : valid) {
        const NameUnit unit = decodeNameUnit(row.text, 0, row.surrogatesAreCharacters);
        EXPECT_TRUE(unit.valid && unit.codePoint == row.codePoint && unit.length == row.length)
            << testing::PrintToString(row.text);
    }
    // A surrogate not allowed, overlong forms, above U+10FFFF, bytes that
    // never begin a sequence, a bad or missing continuation byte.
    const std::string invalid[] = {
        "\xED\xA0\x80", "\xED\xBF\xBF", "\xC0\x80", "\xC1\xBF", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF",
        "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF", "\x80", "\xC3" "A", "\xE2\x82", "\xE2\x82" "A",
        "\xF0\x9F\x98", "\xE2\xC3\xA4",
    };
    for (const std::string& text : invalid) {
        const NameUnit unit = decodeNameUnit(text, 0, false);
        EXPECT_TRUE(!unit.valid && unit.length == 1) << testing::PrintToString(text);
    }
    // Away from the start, and a sequence cut by the end of the text.
    EXPECT_EQ(decodeNameUnit("a\xC3\xA4", 1, false).codePoint, U'ä');
    EXPECT_FALSE(decodeNameUnit(std::string_view("\xC3\xA4", 1), 0, false).valid);
}

TEST(UnicodeCase, ConvertsLettersOfEveryScript) {
    struct Row {
        const char* name;
        const char* lower;
        const char* upper;
    };
    // One character at a time, every code point is compared with ICU in
    // unicode_oracle_test.cc; here, names.
    const Row rows[] = {
        {"", "", ""},                                 {"README.TXT", "readme.txt", "README.TXT"},
        {"FILE_Ä.TXT", "file_ä.txt", "FILE_Ä.TXT"},   {"Москва.txt", "москва.txt", "МОСКВА.TXT"},
        {"straße", "straße", "STRASSE"},              {"ﬃle", "ﬃle", "FFILE"},
        {"ǅa", "ǆa", "ǄA"},                           {"İx", "i\u0307x", "İX"},
        {"𐐀𐐨", "𐐨𐐨", "𐐀𐐀"},                          {"日本.TXT", "日本.txt", "日本.TXT"},
        // Invalid bytes are kept, and so are the letters round them.
        {"\xFF\xC3", "\xFF\xC3", "\xFF\xC3"},         {"A\xE2\x82", "a\xE2\x82", "A\xE2\x82"},
        {"\xC3" "A\xC3\xA4", "\xC3" "a\xC3\xA4", "\xC3" "A\xC3\x84"},
        {"\xED\xA0\x80" "a", "\xED\xA0\x80" "a", "\xED\xA0\x80" "A"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(convertCaseAllScripts(row.name, true), row.lower) << row.name;
        EXPECT_EQ(convertCaseAllScripts(row.name, false), row.upper) << row.name;
    }
}

TEST(UnicodeCase, CapitalSigmaLowersToFinalSigmaAtTheEndOfAWord) {
    const std::pair<const char*, const char*> rows[] = {
        {"ΟΔΟΣ.TXT", "οδος.txt"}, {"ΣΟΦΟΣ", "σοφος"}, {"ΑΣ", "ας"},   {"Σ", "σ"},     {"ΑΣΑ", "ασα"},
        {"ΑΣΣ", "ασς"},           {"Α.Σ", "α.σ"},     {".Σ", ".σ"},   {"ΑΣ Β", "ας β"},
        // Case-ignorable characters are skipped either side.
        {"ΑΣ'", "ας'"}, {"ΑΣ'Β", "ασ'β"}, {"Α'Σ", "α'ς"}, {"ΑΣ\u0301Β", "ασ\u0301β"}, {"ΑΣ\u0301", "ας\u0301"},
        // Any cased letter counts, ASCII ones too.
        {"A'Σ", "a'ς"}, {"ΑΣb", "ασb"},
        // An invalid byte is neither cased nor case-ignorable.
        {"ΑΣ\xFF", "ας\xFF"}, {"\xFFΣ", "\xFFσ"}, {"Α\xFFΣ", "α\xFFσ"},
        // Both cased and case-ignorable, as U+02B0 is: skipped.
        {"ʰΣ", "ʰσ"}, {"ΑΣʰ", "αςʰ"},
    };
    for (const auto& [name, lower] : rows) {
        EXPECT_EQ(convertCaseAllScripts(name, true), lower) << name;
    }
}

}  // namespace
}  // namespace tocase
