#include "engine/printable_name.h"

namespace tocase {

std::string printableName(std::string_view name) {
    constexpr char hexDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            text += "\\x";
            text += hexDigits[byte >> 4];
            text += hexDigits[byte & 0xF];
        } else {
            text += c;
        }
    }
    return text;
}

std::string headerText(std::string_view directoryPrefix) {
    return directoryPrefix.empty() ? ".\\" : printableName(directoryPrefix);
}

}  // namespace tocase
