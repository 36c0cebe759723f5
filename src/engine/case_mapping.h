#ifndef TOCASE_ENGINE_CASE_MAPPING_H
#define TOCASE_ENGINE_CASE_MAPPING_H

#include <string>
#include <string_view>

namespace tocase {

// Only the ASCII letters have a case; every other byte, 0x80 and up
// included, is left as it is.
std::string toLowerAscii(std::string_view text);
std::string toUpperAscii(std::string_view text);

// Whether a name is to be converted. Without `mixed`, only names whose
// letters all have the other case; with it, any name holding at least one
// letter of the other case. Names without letters never are.
bool needsConversion(std::string_view name, bool toLower, bool mixed);

}  // namespace tocase

#endif
