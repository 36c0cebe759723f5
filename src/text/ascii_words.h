#ifndef TOCASE_TEXT_ASCII_WORDS_H
#define TOCASE_TEXT_ASCII_WORDS_H

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

// Eight bytes of a name looked at in one go: every name of a tree is
// scanned, and most are ASCII. A word's byte i is the name's byte i
// (little-endian order on any machine); a mask holds 0x80 in each byte
// that has the property asked for, and 0 elsewhere.
namespace tocase::ascii_words {

using Word = std::uint64_t;
inline constexpr std::size_t wordSize = sizeof(Word);
inline constexpr Word ones = 0x0101010101010101U;
inline constexpr Word highBits = 0x8080808080808080U;

// Up to eight bytes from `bytes`; those past `size` read as NUL. A whole
// word is one load.
inline Word load(const char* bytes, std::size_t size) {
    Word word = 0;
    if (size >= wordSize) {
        std::memcpy(&word, bytes, wordSize);
        if constexpr (std::endian::native == std::endian::big) {
            word = __builtin_bswap64(word);
        }
        return word;
    }
    for (std::size_t i = 0; i < size; ++i) {
        word |= Word{static_cast<unsigned char>(bytes[i])} << (8 * i);
    }
    return word;
}

inline void store(char* bytes, std::size_t size, Word word) {
    if (size >= wordSize) {
        if constexpr (std::endian::native == std::endian::big) {
            word = __builtin_bswap64(word);
        }
        std::memcpy(bytes, &word, wordSize);
        return;
    }
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(word >> (8 * i));
    }
}

// Bytes of 0x80 and above.
inline constexpr Word beyondAscii(Word word) { return word & highBits; }

// ASCII bytes from `low` to `high`, both within 0..0x7F. Each byte's sum
// stays below 0x100, so no carry reaches its neighbour.
inline constexpr Word inRange(Word word, unsigned char low, unsigned char high) {
    const Word ascii = word & ~highBits;
    const Word atLeastLow = ascii + ones * (0x80U - low);
    const Word aboveHigh = ascii + ones * (0x7FU - high);
    return atLeastLow & ~aboveHigh & ~word & highBits;
}

// Bytes equal to `byte`.
inline constexpr Word equalTo(Word word, unsigned char byte) {
    const Word differences = word ^ (ones * byte);
    return ~(((differences & ~highBits) + ~highBits) | differences | ~highBits);
}

// Where the first byte the mask marks lies; the word's size when none.
inline constexpr std::size_t firstMarked(Word mask) {
    return static_cast<std::size_t>(std::countr_zero(mask)) / 8;
}

// Where, from `at` on, the first byte lies that `marks` (a word to its
// mask) marks; the size of `bytes` when none. Bytes past the end read as
// NUL and are never taken for a mark.
template <typename Marks>
std::size_t firstMarkedByte(std::string_view bytes, std::size_t at, Marks marks) {
    for (; at < bytes.size(); at += wordSize) {
        const std::size_t size = bytes.size() - at;
        if (const std::size_t found = firstMarked(marks(load(bytes.data() + at, size))); found < wordSize) {
            return found < size ? at + found : bytes.size();
        }
    }
    return bytes.size();
}

// The mask's bytes as the bit that tells an ASCII letter's case.
inline constexpr Word caseBits(Word mask) { return mask >> 2; }

}  // namespace tocase::ascii_words

#endif
