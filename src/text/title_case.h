#ifndef TOCASE_TEXT_TITLE_CASE_H
#define TOCASE_TEXT_TITLE_CASE_H

#include <cstddef>
#include <string>
#include <string_view>

#include "text/unicode_case_tables.h"

namespace tocase {

// Title case: every word of a name begins with its first character in
// titlecase and goes on in lowercase; a file's extension goes to lowercase.
//
// A word is a run of word characters: letters, marks and numbers by
// Unicode's General_Category, found so with or without /A, and bytes that
// are not UTF-8, which have no case. An apostrophe (' or U+2019) between
// two word characters stays inside the word ("It's", "Rock'n'roll"); every
// other character separates words and is kept as it is.

using case_tables::WordCharacterKind;

// What a character is to the words of a title, by its General_Category.
WordCharacterKind wordCharacterKind(char32_t c);

// Where a name's words end: at the dot that begins its extension, when the
// name is a file's, that dot is its last and does not begin the name, and
// the text after it is one or more letters and decimal digits alone
// ("SONG.MP3", "A.TAR.GZ"); at the name's end otherwise ("ST. ELSEWHERE",
// ".PROFILE", "FILE.", a directory's "VOL.2"). Which names are converted
// is judged on the name before that point.
std::size_t titleCaseWordsEnd(std::string_view name, bool isDirectory);

// The title form of a name: "DR. DRE - THE CHRONIC.MP3" becomes "Dr. Dre -
// The Chronic.mp3", "4TH OF JULY" "4th Of July". Without `allScripts` only
// A to Z and a to z change ("ÉCOLE.TXT" becomes "École.txt"); with it
// every character takes Unicode's full mapping without locale: titlecase
// for a word's first ("ǆ" to "ǅ", "ß" to "Ss"), lowercase for the rest
// and the extension, capital sigma to final sigma at the end of a word.
std::string titleCaseName(std::string_view name, bool isDirectory, bool allScripts);

}  // namespace tocase

#endif
