#include "engine/case_mapping.h"

#include "platform/ascii_case.h"

namespace tocase {
namespace {

bool isLeadByte(char c, const LeadBytes& leadBytes) {
    return leadBytes[static_cast<unsigned char>(c)];
}

}  // namespace

std::string convertCase(std::string_view text, bool toLower, const LeadBytes& leadBytes) {
    std::string result(text);
    for (std::size_t i = 0; i < result.size(); ++i) {
        if (isLeadByte(result[i], leadBytes)) {
            ++i;
        } else {
            result[i] = toAsciiCase(result[i], toLower);
        }
    }
    return result;
}

bool needsConversion(std::string_view name, bool toLower, bool mixed, const LeadBytes& leadBytes) {
    bool hasUpper = false;
    bool hasLower = false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (isLeadByte(name[i], leadBytes)) {
            ++i;
            continue;
        }
        hasUpper = hasUpper || isAsciiUpper(name[i]);
        hasLower = hasLower || isAsciiLower(name[i]);
    }
    const bool hasTargetCaseLetter = toLower ? hasLower : hasUpper;
    const bool hasOtherCaseLetter = toLower ? hasUpper : hasLower;
    return hasOtherCaseLetter && (mixed || !hasTargetCaseLetter);
}

}  // namespace tocase
