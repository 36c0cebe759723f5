#ifndef TOCASE_PLATFORM_TEXT_WIN32_H
#define TOCASE_PLATFORM_TEXT_WIN32_H

#include <string>
#include <string_view>

namespace tocase {

// A UTF-8 text in the active ANSI code page, for a file or a pipe, without
// best fit: a character that has no exact form there becomes one `?`,
// never a look-alike.
std::string toCodePage(std::string_view text);

// A wide name in UTF-8, a surrogate without its pair encoded as UTF-8
// encodes any other code point, and back: every name survives the round.
std::string toUtf8(std::wstring_view wide);
std::wstring fromUtf8(std::string_view text);

}  // namespace tocase

#endif
