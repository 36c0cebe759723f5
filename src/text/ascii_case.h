#ifndef TOCASE_TEXT_ASCII_CASE_H
#define TOCASE_TEXT_ASCII_CASE_H

namespace tocase {

// Only the ASCII letters have a case, in every layer and for narrow and
// wide characters alike; every other code is never a letter.
template <typename Char>
constexpr bool isAsciiUpper(Char c) {
    return c >= Char('A') && c <= Char('Z');
}

template <typename Char>
constexpr bool isAsciiLower(Char c) {
    return c >= Char('a') && c <= Char('z');
}

template <typename Char>
constexpr Char toAsciiCase(Char c, bool toLower) {
    constexpr Char distance = Char('a' - 'A');
    if (toLower && isAsciiUpper(c)) {
        return static_cast<Char>(c + distance);
    }
    if (!toLower && isAsciiLower(c)) {
        return static_cast<Char>(c - distance);
    }
    return c;
}

template <typename Char>
constexpr Char foldAsciiCase(Char c) {
    return toAsciiCase(c, true);
}

}  // namespace tocase

#endif
