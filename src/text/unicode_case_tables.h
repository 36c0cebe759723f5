#ifndef TOCASE_TEXT_UNICODE_CASE_TABLES_H
#define TOCASE_TEXT_UNICODE_CASE_TABLES_H

#include <span>

// The tables scripts/generate-case-tables.py writes into
// unicode_case_tables.cc from the Unicode Character Database.
namespace tocase::case_tables {

// A code point whose mapping is not itself. `to` is the code point it maps
// to or, from `sequence` up, the offset in sequencePool of the code points
// it maps to: their count, then the code points.
struct CaseMapping {
    char32_t from;
    char32_t to;
};
inline constexpr char32_t sequence = 0x110000;

struct CodePointRange {
    char32_t first;
    char32_t last;
};

// Sorted by `from`: full lowercase, uppercase and titlecase mappings without
// locale or context, and simple case folding.
extern const std::span<const CaseMapping> lowercaseMappings;
extern const std::span<const CaseMapping> uppercaseMappings;
extern const std::span<const CaseMapping> titlecaseMappings;
extern const std::span<const CaseMapping> simpleCaseFolding;
extern const std::span<const char32_t> sequencePool;

// Sorted, disjoint and not adjacent.
extern const std::span<const CodePointRange> casedRanges;
extern const std::span<const CodePointRange> caseIgnorableRanges;

// What a character is to the words of a title, by its General_Category:
// a letter (L*), a decimal digit (Nd), or another mark (M*) or number (Nl,
// No); any other is no word character.
enum class WordCharacterKind : unsigned char { none, letter, decimalDigit, markOrOtherNumber };

struct WordCharacterRange {
    char32_t first;
    char32_t last;
    WordCharacterKind kind;
};

// The word characters: sorted and disjoint; ranges that touch differ in kind.
extern const std::span<const WordCharacterRange> wordCharacterRanges;

}  // namespace tocase::case_tables

#endif
