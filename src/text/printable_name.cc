#include "text/printable_name.h"

#include "text/ascii_words.h"

namespace tocase {
namespace {

// Control bytes are looked for eight at a time: every line of the listing
// goes through here.
std::size_t firstControlByte(std::string_view name) {
    using namespace ascii_words;
    return firstMarkedByte(name, 0, [](Word word) { return inRange(word, 0x00, 0x1F) | equalTo(word, 0x7F); });
}

}  // namespace

// In runs: a name without control bytes is one copy.
void appendPrintable(std::string& text, std::string_view name) {
    constexpr char hexDigits[] = "0123456789ABCDEF";
    while (!name.empty()) {
        const std::size_t control = firstControlByte(name);
        text.append(name.substr(0, control));
        if (control == name.size()) {
            return;
        }
        const auto byte = static_cast<unsigned char>(name[control]);
        text += "\\x";
        text += hexDigits[byte >> 4];
        text += hexDigits[byte & 0xF];
        name.remove_prefix(control + 1);
    }
}

std::string headerText(std::string_view directoryPrefix) {
    if (directoryPrefix.empty()) {
        return ".\\";
    }
    std::string text;
    appendPrintable(text, directoryPrefix);
    return text;
}

}  // namespace tocase
