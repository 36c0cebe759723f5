#include "engine/case_mapping.h"

namespace tocase {
namespace {

bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }

bool isLower(char c) { return c >= 'a' && c <= 'z'; }

constexpr char caseDistance = 'a' - 'A';

bool isLeadByte(char c, const LeadBytes& leadBytes) {
    return leadBytes[static_cast<unsigned char>(c)];
}

}  // namespace

std::string convertCase(std::string_view text, bool toLower, const LeadBytes& leadBytes) {
    std::string result(text);
    for (std::size_t i = 0; i < result.size(); ++i) {
        char& c = result[i];
        if (isLeadByte(c, leadBytes)) {
            ++i;
        } else if (toLower && isUpper(c)) {
            c = static_cast<char>(c + caseDistance);
        } else if (!toLower && isLower(c)) {
            c = static_cast<char>(c - caseDistance);
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
        hasUpper = hasUpper || isUpper(name[i]);
        hasLower = hasLower || isLower(name[i]);
    }
    const bool hasTargetCaseLetter = toLower ? hasLower : hasUpper;
    const bool hasOtherCaseLetter = toLower ? hasUpper : hasLower;
    return hasOtherCaseLetter && (mixed || !hasTargetCaseLetter);
}

}  // namespace tocase
