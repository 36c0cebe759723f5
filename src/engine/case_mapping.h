#ifndef TOCASE_ENGINE_CASE_MAPPING_H
#define TOCASE_ENGINE_CASE_MAPPING_H

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace tocase {

using LeadBytes = std::array<bool, 256>;

// Only the ASCII letters have a case; every other byte, 0x80 and up
// included, is left as it is, and so is the byte after a lead byte of a
// double-byte code page, which belongs to the character it ends.
std::string convertCase(std::string_view text, bool toLower, const LeadBytes& leadBytes);

// Whether a name is to be converted. Without `mixed`, only names whose
// letters all have the other case; with it, any name holding at least one
// letter of the other case. Names without letters never are.
bool needsConversion(std::string_view name, bool toLower, bool mixed, const LeadBytes& leadBytes);

}  // namespace tocase

#endif
