#include "text/title_case.h"

#include <algorithm>
#include <vector>

#include "text/ascii_case.h"
#include "text/unicode_case.h"
#include "text/utf8.h"

namespace tocase {
namespace {

using case_tables::WordCharacterRange;

constexpr char32_t rightSingleQuotationMark = 0x2019;

bool isAsciiWordCharacter(char c) { return isAsciiUpper(c) || isAsciiLower(c) || (c >= '0' && c <= '9'); }

bool isAscii(std::string_view name) {
    unsigned high = 0;
    for (const char c : name) {
        high |= static_cast<unsigned char>(c) & 0x80U;
    }
    return high == 0;
}

// A byte that is not UTF-8 is a word character without case. An encoded
// surrogate, which a Windows name may hold, is read as three such bytes:
// one caseless run of the word it stands in, as one unit would be.
bool isWordUnit(const NameUnit& unit) {
    return !unit.valid || wordCharacterKind(unit.codePoint) != WordCharacterKind::none;
}

bool isApostrophe(const NameUnit& unit) {
    return unit.valid && (unit.codePoint == '\'' || unit.codePoint == rightSingleQuotationMark);
}

// Where a name's characters are in its words, one character after the
// other. An apostrophe stays in a word between two word characters, so a
// word character goes on the word before it when the character before it
// is one, or is an apostrophe with one before it.
struct WordTracker {
    bool wordBefore = false;
    bool wordTwoBefore = false;
    bool apostropheBefore = false;

    bool goesOn() const { return wordBefore || (apostropheBefore && wordTwoBefore); }

    void pass(bool word, bool apostrophe) {
        wordTwoBefore = wordBefore;
        wordBefore = word;
        apostropheBefore = apostrophe;
    }
};

// The words of name[0, end), each a run whose first character is titled.
std::vector<TitleCaseRun> wordsOf(std::string_view name, std::size_t end) {
    std::vector<TitleCaseRun> words;
    WordTracker tracker;
    for (std::size_t at = 0; at < end;) {
        const NameUnit unit = decodeNameUnit(name, at, false);
        const bool word = isWordUnit(unit);
        if (word && tracker.goesOn()) {
            words.back().end = at + unit.length;
        } else if (word) {
            words.push_back({at, at + unit.length, true});
        }
        tracker.pass(word, isApostrophe(unit));
        at += unit.length;
    }
    return words;
}

// Most names: one pass, no tables. Letters and digits are the word
// characters, U+0027 the one apostrophe, and a letter's case its bit 0x20.
std::string titleCaseAscii(std::string_view name, std::size_t wordsEnd) {
    std::string result(name);
    WordTracker tracker;
    for (std::size_t i = 0; i < wordsEnd; ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        const bool letter = static_cast<unsigned char>((c | 0x20U) - 'a') < 26;
        result[i] = static_cast<char>(letter ? (tracker.goesOn() ? c | 0x20U : c & ~0x20U) : c);
        tracker.pass(letter || static_cast<unsigned char>(c - '0') < 10, c == '\'');
    }
    for (std::size_t i = wordsEnd; i < name.size(); ++i) {
        result[i] = toAsciiCase(name[i], true);
    }
    return result;
}

// Only A to Z and a to z change: a word's first byte raised, the rest of
// it and the extension lowered. A byte beyond ASCII is no ASCII letter.
std::string titleCaseAsciiLetters(std::string_view name, const std::vector<TitleCaseRun>& runs) {
    std::string result(name);
    for (const TitleCaseRun& run : runs) {
        for (std::size_t i = run.begin; i < run.end; ++i) {
            result[i] = toAsciiCase(result[i], !(run.titleFirst && i == run.begin));
        }
    }
    return result;
}

}  // namespace

WordCharacterKind wordCharacterKind(char32_t c) {
    if (c < 0x80) {
        if (c >= '0' && c <= '9') {
            return WordCharacterKind::decimalDigit;
        }
        return isAsciiUpper(c) || isAsciiLower(c) ? WordCharacterKind::letter : WordCharacterKind::none;
    }
    const auto ranges = case_tables::wordCharacterRanges;
    const auto found = std::lower_bound(ranges.begin(), ranges.end(), c,
                                        [](const WordCharacterRange& range, char32_t key) { return range.last < key; });
    return found != ranges.end() && found->first <= c ? found->kind : WordCharacterKind::none;
}

std::size_t titleCaseWordsEnd(std::string_view name, bool isDirectory) {
    const std::size_t dot = name.rfind('.');
    if (isDirectory || dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) {
        return name.size();
    }
    for (std::size_t at = dot + 1; at < name.size();) {
        if (isAsciiWordCharacter(name[at])) {
            ++at;
            continue;
        }
        const NameUnit unit = decodeNameUnit(name, at, false);
        const WordCharacterKind kind = unit.valid ? wordCharacterKind(unit.codePoint) : WordCharacterKind::none;
        if (kind != WordCharacterKind::letter && kind != WordCharacterKind::decimalDigit) {
            return name.size();
        }
        at += unit.length;
    }
    return dot;
}

std::string titleCaseName(std::string_view name, bool isDirectory, bool allScripts) {
    const std::size_t wordsEnd = titleCaseWordsEnd(name, isDirectory);
    if (isAscii(name)) {
        return titleCaseAscii(name, wordsEnd);
    }
    std::vector<TitleCaseRun> runs = wordsOf(name, wordsEnd);
    if (wordsEnd < name.size()) {
        runs.push_back({wordsEnd + 1, name.size(), false});
    }
    return allScripts ? convertRunsToTitleCase(name, runs) : titleCaseAsciiLetters(name, runs);
}

}  // namespace tocase
