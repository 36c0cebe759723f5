#ifndef TOCASE_PLATFORM_TEXT_WIN32_H
#define TOCASE_PLATFORM_TEXT_WIN32_H

#include <string>
#include <string_view>

namespace tocase {

// A wide text in the active ANSI code page, without best fit: a character
// that has no exact form there becomes `replacement`, never a look-alike.
// `exact`, when given, tells whether every character had one.
std::string toCodePage(std::wstring_view wide, char replacement = '?', bool* exact = nullptr);
std::wstring fromCodePage(std::string_view text);

// The name with its ASCII letters lowered or raised, every other character
// exactly as it was.
std::wstring withAsciiCase(std::wstring_view name, bool toLower);

// A wide name kept in a byte string, and back.
std::string wideBytes(std::wstring_view wide);
std::wstring fromWideBytes(std::string_view bytes);

}  // namespace tocase

#endif
