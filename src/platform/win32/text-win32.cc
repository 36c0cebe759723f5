#include "platform/win32/text-win32.h"

#include <windows.h>

#include "text/utf8.h"

namespace tocase {

namespace {

bool isHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::string toCodePage(std::string_view text) {
    std::wstring wide = fromUtf8(text);
    // UTF-8 represents every character, and takes neither flag nor default.
    if (GetACP() == CP_UTF8) {
        return std::string(text);
    }
    // A pair stands for one character, which gets one `?` where the code
    // page has no form for it, as every other such character does.
    for (std::size_t i = 0; i + 1 < wide.size(); ++i) {
        if (isHighSurrogate(wide[i]) && isLowSurrogate(wide[i + 1])) {
            wide.replace(i, 2, 1, L'\xFFFD');
        }
    }
    const int length = static_cast<int>(wide.size());
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr, 0, "?", nullptr);
    std::string converted(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, converted.data(), size, "?", nullptr);
    return converted;
}

std::string toUtf8(std::wstring_view wide) {
    std::string text;
    text.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t c = wide[i];
        if (isHighSurrogate(wide[i]) && i + 1 < wide.size() && isLowSurrogate(wide[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00);
        }
        appendUtf8(c, text);
    }
    return text;
}

// Only ever given what toUtf8 made, or that with its letters' case changed;
// a byte that is not part of a sequence would be a fault, and becomes U+FFFD
// rather than anything that could name another entry.
std::wstring fromUtf8(std::string_view text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const NameUnit unit = decodeNameUnit(text, at, true);
        at += unit.length;
        const char32_t c = unit.valid ? unit.codePoint : 0xFFFD;
        if (c >= 0x10000) {
            wide += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            wide += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            wide += static_cast<wchar_t>(c);
        }
    }
    return wide;
}

}  // namespace tocase
