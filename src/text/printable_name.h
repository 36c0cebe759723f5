#ifndef TOCASE_TEXT_PRINTABLE_NAME_H
#define TOCASE_TEXT_PRINTABLE_NAME_H

#include <string>
#include <string_view>

namespace tocase {

// Appends a name as the listing and the headers show it: bytes 0x01 to
// 0x1F and 0x7F as \xNN, so that no name can move the cursor, retitle the
// window or forge a line of the report; every other byte as it is.
void appendPrintable(std::string& text, std::string_view name);

// A directory prefix as its header shows it: ".\" for the current
// directory.
std::string headerText(std::string_view directoryPrefix);

}  // namespace tocase

#endif
