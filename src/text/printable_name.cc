#include "text/printable_name.h"

#include <algorithm>

namespace tocase {
namespace {

bool isControlByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

}  // namespace

// In runs: a name without control bytes is one copy.
void appendPrintable(std::string& text, std::string_view name) {
    constexpr char hexDigits[] = "0123456789ABCDEF";
    while (!name.empty()) {
        const auto control = std::find_if(name.begin(), name.end(), isControlByte);
        text.append(name.begin(), control);
        if (control == name.end()) {
            return;
        }
        const auto byte = static_cast<unsigned char>(*control);
        text += "\\x";
        text += hexDigits[byte >> 4];
        text += hexDigits[byte & 0xF];
        name.remove_prefix(static_cast<std::size_t>(control - name.begin()) + 1);
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
