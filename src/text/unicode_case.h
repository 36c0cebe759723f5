#ifndef TOCASE_TEXT_UNICODE_CASE_H
#define TOCASE_TEXT_UNICODE_CASE_H

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "text/utf8.h"

namespace tocase {

// The name with every character that has a case lowered (or raised) by the
// full mappings of Unicode without locale: "straße" raises to "STRASSE",
// "İ" lowers to "i̇". Invalid bytes are kept as they are and are no letters;
// nothing is composed or decomposed. Capital sigma lowers to final sigma
// at the end of a word, where in a name '.' also ends a word: "ΟΔΟΣ.TXT"
// lowers to "οδος.txt".
std::string convertCaseAllScripts(std::string_view name, bool toLower);

// A run of a name's bytes, from one character to another, that title case
// maps: its first character to titlecase when `titleFirst`, every other
// to lowercase.
struct TitleCaseRun {
    std::size_t begin;
    std::size_t end;
    bool titleFirst;
};

// The name with the characters of `runs` (sorted, disjoint) mapped by the
// full mappings of Unicode without locale ("ǆ" titles to "ǅ", "ß" to
// "Ss"), capital sigma lowered as convertCaseAllScripts lowers it, by the
// whole name round it. The bytes outside the runs are kept.
std::string convertRunsToTitleCase(std::string_view name, std::span<const TitleCaseRun> runs);

// Unicode simple case folding (CaseFolding.txt, statuses C and S).
char32_t simpleCaseFold(char32_t c);

}  // namespace tocase

#endif
