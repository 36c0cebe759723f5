// The case of every script against ICU, built on its own from the same
// version of Unicode: every code point, the final sigma in context, and
// the words of a title.
#include <gtest/gtest.h>
#include <unicode/uchar.h>
#include <unicode/ucasemap.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <iterator>
#include <random>
#include <sstream>
#include <string>

#include "text/title_case.h"
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

// ICU's title case of the root locale over the whole text as one word, its
// first code point titled whatever it is: UTF-8 in and out.
std::string icuTitle(const std::string& word) {
    UErrorCode error = U_ZERO_ERROR;
    UCaseMap* const caseMap = ucasemap_open("", U_TITLECASE_WHOLE_STRING | U_TITLECASE_NO_BREAK_ADJUSTMENT, &error);
    char result[256];
    const int32_t length =
        ucasemap_utf8ToTitle(caseMap, result, 256, word.data(), static_cast<int32_t>(word.size()), &error);
    ucasemap_close(caseMap);
    return U_SUCCESS(error) ? std::string(result, length) : std::string("ICU failed: ") + u_errorName(error);
}

TEST(UnicodeOracle, IcuTitlesAsExpected) {
    EXPECT_EQ(icuTitle("\u01C6\u01C4"), "\u01C5\u01C6");
    EXPECT_EQ(icuTitle("\u00DF\u00DF"), "Ss\u00DF");
    EXPECT_EQ(icuTitle("\uFB01\uFB01"), "Fi\uFB01");
    EXPECT_EQ(icuTitle("\u0301A"), "\u0301a");
}

// Each code point twice: the first titled, the second lowered after it.
TEST(UnicodeOracle, EveryCodePointTitlesAsIcuDoes) {
    int mismatched = 0;
    std::ostringstream firstMismatches;
    for (UChar32 c = 0; c <= 0x10FFFF; ++c) {
        if (U_IS_SURROGATE(c)) {
            continue;
        }
        const std::string twice = utf8Of(c) + utf8Of(c);
        const TitleCaseRun word[] = {{0, twice.size(), true}};
        if (convertRunsToTitleCase(twice, word) != icuTitle(twice) && ++mismatched <= 20) {
            firstMismatches << " U+" << std::hex << c << std::dec;
        }
    }
    EXPECT_EQ(mismatched, 0) << "first:" << firstMismatches.str();
}

WordCharacterKind icuWordCharacterKind(UChar32 c) {
    const uint32_t category = U_GET_GC_MASK(c);
    if ((category & U_GC_L_MASK) != 0) {
        return WordCharacterKind::letter;
    }
    if ((category & U_GC_ND_MASK) != 0) {
        return WordCharacterKind::decimalDigit;
    }
    return (category & (U_GC_M_MASK | U_GC_N_MASK)) != 0 ? WordCharacterKind::markOrOtherNumber : WordCharacterKind::none;
}

TEST(UnicodeOracle, EveryCodePointIsTheWordCharacterIcuSays) {
    int mismatched = 0;
    std::ostringstream firstMismatches;
    for (UChar32 c = 0; c <= 0x10FFFF; ++c) {
        if (wordCharacterKind(c) != icuWordCharacterKind(c) && ++mismatched <= 20) {
            firstMismatches << " U+" << std::hex << c << std::dec;
        }
    }
    EXPECT_EQ(mismatched, 0) << "first:" << firstMismatches.str();
}

// Names of words joined by separators that are not case-ignorable, so that
// a word ends the final sigma's context as it ends ICU's: each word titled
// by ICU on its own, the separators kept. Words of letters cased or not,
// case-ignorable or not, marks, digits and numbers, apostrophes inside.
TEST(UnicodeOracle, NamesTitleWordByWordAsIcuTitlesEachWord) {
    const char* const letters[] = {"\u03A3", "\u03A3", "\u0391", "\u03C3", "\u03C2", "\u0301", "\u02B0",
                                   "\u01C6", "\u01C5", "\u00DF", "\u0130", "\uFB01", "a", "B", "7", "\u0663",
                                   "\u217B", "\u00B2", "\u65E5", "\U00010400", "\u10D0", "\u0345"};
    const char* const apostrophes[] = {"'", "\u2019"};
    const char* const separators[] = {" ", "-", "_", "(", ")", "&", ".", "\u00AB", "\u00B0"};
    std::mt19937 random(15);
    const auto pick = [&random](const auto& pieces) {
        return pieces[std::uniform_int_distribution<std::size_t>(0, std::size(pieces) - 1)(random)];
    };
    std::uniform_int_distribution<int> count(1, 4);
    std::bernoulli_distribution apostrophe(0.2);
    for (int i = 0; i < 20000; ++i) {
        std::string name;
        std::string expected;
        for (int words = count(random); words > 0; --words) {
            std::string word = pick(letters);
            for (int n = count(random); n > 1; --n) {
                word += (apostrophe(random) ? pick(apostrophes) : "") + std::string(pick(letters));
            }
            const std::string separator = pick(separators);
            name += word + separator;
            expected += icuTitle(word) + separator;
        }
        ASSERT_EQ(titleCaseName(name, true, true), expected) << name;
    }
}

}  // namespace
}  // namespace tocase
