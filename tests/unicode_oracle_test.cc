// The case of every script against ICU, built on its own from the same
// version of Unicode: every code point, and the final sigma in context.
#include <gtest/gtest.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <iterator>
#include <random>
#include <sstream>
#include <string>

#include "text/unicode_case.h"

namespace tocase {
namespace {

// ICU's full case mapping of the root locale, UTF-8 in and out.
std::string icuCase(const std::string& text, bool toLower) {
    UErrorCode error = U_ZERO_ERROR;
    UChar source[64];
    int32_t sourceLength = 0;
    u_strFromUTF8(source, 64, &sourceLength, text.data(), static_cast<int32_t>(text.size()), &error);
    UChar mapped[64];
    const int32_t mappedLength = toLower ? u_strToLower(mapped, 64, source, sourceLength, "", &error)
                                         : u_strToUpper(mapped, 64, source, sourceLength, "", &error);
    char result[256];
    int32_t resultLength = 0;
    u_strToUTF8(result, 256, &resultLength, mapped, mappedLength, &error);
    return U_SUCCESS(error) ? std::string(result, resultLength) : std::string("ICU failed: ") + u_errorName(error);
}

std::string utf8Of(UChar32 c) {
    char bytes[U8_MAX_LENGTH];
    int32_t length = 0;
    U8_APPEND_UNSAFE(bytes, length, c);
    return std::string(bytes, length);
}

TEST(UnicodeOracle, EveryCodePointConvertsAndFoldsAsIcuDoes) {
    int compared = 0;
    int mismatched = 0;
    std::ostringstream firstMismatches;
    for (UChar32 c = 0; c <= 0x10FFFF; ++c) {
        if (U_IS_SURROGATE(c)) {
            continue;
        }
        ++compared;
        const std::string text = utf8Of(c);
        const NameUnit unit = decodeNameUnit(text, 0, false);
        const bool same = unit.valid && unit.codePoint == static_cast<char32_t>(c) && unit.length == text.size() &&
                          convertCaseAllScripts(text, true) == icuCase(text, true) &&
                          convertCaseAllScripts(text, false) == icuCase(text, false) &&
                          simpleCaseFold(c) == static_cast<char32_t>(u_foldCase(c, U_FOLD_CASE_DEFAULT));
        if (!same && ++mismatched <= 20) {
            firstMismatches << " U+" << std::hex << c << std::dec;
        }
    }
    EXPECT_EQ(compared, 0x110000 - 0x800);
    EXPECT_EQ(mismatched, 0) << "first:" << firstMismatches.str();
}

// Without a full stop, word ends are Unicode's and so ICU's: random names
// of letters that are cased, case-ignorable, both or neither, round
// sigmas, of every UTF-8 length.
TEST(UnicodeOracle, FinalSigmaAsIcuWhereNoFullStopIsInvolved) {
    const char* const pieces[] = {"Σ", "Σ", "Α", "σ", "ς", "'", "\u0301", "ʰ",
                                  " ", "-", "a", "B", "日", "𐐀", "ǅ", "İ"};
    std::mt19937 random(15);
    std::uniform_int_distribution<std::size_t> piece(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> length(1, 7);
    for (int i = 0; i < 20000; ++i) {
        std::string name;
        for (int n = length(random); n > 0; --n) {
            name += pieces[piece(random)];
        }
        ASSERT_EQ(convertCaseAllScripts(name, true), icuCase(name, true)) << name;
        ASSERT_EQ(convertCaseAllScripts(name, false), icuCase(name, false)) << name;
    }
}

// The one intended difference: in a name a full stop ends a word, where
// ICU, as Unicode, counts it case-ignorable and looks past it.
TEST(UnicodeOracle, FullStopEndsAWordUnlikeInIcu) {
    struct Row {
        std::string name;
        const char* icu;
        const char* ours;
    };
    const Row rows[] = {
        {"ΟΔΟΣ.TXT", "οδοσ.txt", "οδος.txt"},
        {"Α.Σ", "α.ς", "α.σ"},
        {"ΑΣ.Β", "ασ.β", "ας.β"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(icuCase(row.name, true), row.icu) << row.name;
        EXPECT_EQ(convertCaseAllScripts(row.name, true), row.ours) << row.name;
    }
}

}  // namespace
}  // namespace tocase
