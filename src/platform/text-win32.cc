#include <windows.h>

#include <cstring>

#include "platform/text-win32.h"

#include "platform/ascii_case.h"

namespace tocase {

std::string toCodePage(std::wstring_view wide, char replacement, bool* exact) {
    // UTF-8 represents every character, and takes neither flag nor default.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const char defaultChar[] = {replacement, '\0'};
    BOOL usedDefault = FALSE;
    const int length = static_cast<int>(wide.size());
    const int size = WideCharToMultiByte(CP_ACP, flags, wide.data(), length, nullptr, 0,
                                         utf8 ? nullptr : defaultChar, utf8 ? nullptr : &usedDefault);
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, flags, wide.data(), length, text.data(), size,
                        utf8 ? nullptr : defaultChar, utf8 ? nullptr : &usedDefault);
    if (exact != nullptr) {
        *exact = !usedDefault;
    }
    return text;
}

std::wstring fromCodePage(std::string_view text) {
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), size);
    return wide;
}

std::wstring withAsciiCase(std::wstring_view name, bool toLower) {
    std::wstring result(name);
    for (wchar_t& c : result) {
        c = toAsciiCase(c, toLower);
    }
    return result;
}

std::string wideBytes(std::wstring_view wide) {
    return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
}

std::wstring fromWideBytes(std::string_view bytes) {
    std::wstring wide(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(wide.data(), bytes.data(), wide.size() * sizeof(wchar_t));
    return wide;
}

}  // namespace tocase
