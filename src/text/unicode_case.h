#ifndef TOCASE_TEXT_UNICODE_CASE_H
#define TOCASE_TEXT_UNICODE_CASE_H

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

// Unicode simple case folding (CaseFolding.txt, statuses C and S).
char32_t simpleCaseFold(char32_t c);

}  // namespace tocase

#endif
