#ifndef TOCASE_TEXT_UTF8_H
#define TOCASE_TEXT_UTF8_H

#include <cstddef>
#include <string>
#include <string_view>

namespace tocase {

// UTF-8 as every layer reads and writes names: the engine for letters of
// every script, Windows for its UTF-16 names.

// One unit of a name: a code point decoded from UTF-8, or one byte that is
// not part of valid UTF-8.
struct NameUnit {
    char32_t codePoint;  // meaningful only when valid
    std::size_t length;  // bytes taken, >= 1
    bool valid;
};

// Decodes the unit at `at` (< text.size()). Strict UTF-8: no overlong
// forms, nothing above U+10FFFF. An encoded surrogate (ED A0..BF xx) is
// invalid unless `surrogatesAreCharacters`, as names of a system that stores
// UTF-16 unchecked may hold one; it is then one unit of 3 bytes with no
// case. An invalid byte is a unit of its own.
inline NameUnit decodeNameUnit(std::string_view text, std::size_t at, bool surrogatesAreCharacters) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        return {lead, 1, true};
    }
    constexpr NameUnit invalid{0, 1, false};
    // The length and the payload bits of the lead byte; the second byte's
    // range rules out overlong forms, code points above U+10FFFF and,
    // unless allowed, surrogates.
    std::size_t length = 0;
    char32_t c = 0;
    unsigned char secondLow = 0x80;
    unsigned char secondHigh = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        c = lead & 0x0F;
        secondLow = lead == 0xE0 ? 0xA0 : 0x80;
        secondHigh = lead == 0xED && !surrogatesAreCharacters ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        c = lead & 0x07;
        secondLow = lead == 0xF0 ? 0x90 : 0x80;
        secondHigh = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return invalid;
    }
    if (text.size() - at < length) {
        return invalid;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char b = static_cast<unsigned char>(text[at + i]);
        if (b < (i == 1 ? secondLow : 0x80) || b > (i == 1 ? secondHigh : 0xBF)) {
            return invalid;
        }
        c = c << 6 | (b & 0x3F);
    }
    return {c, length, true};
}

inline void appendUtf8(char32_t c, std::string& out) {
    const auto byte = [&out](char32_t value) { out += static_cast<char>(value); };
    if (c < 0x80) {
        byte(c);
    } else if (c < 0x800) {
        byte(0xC0 | c >> 6);
        byte(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        byte(0xE0 | c >> 12);
        byte(0x80 | (c >> 6 & 0x3F));
        byte(0x80 | (c & 0x3F));
    } else {
        byte(0xF0 | c >> 18);
        byte(0x80 | (c >> 12 & 0x3F));
        byte(0x80 | (c >> 6 & 0x3F));
        byte(0x80 | (c & 0x3F));
    }
}

}  // namespace tocase

#endif
