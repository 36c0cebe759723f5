#include "engine/case_mapping.h"

namespace tocase {
namespace {

bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }

bool isLower(char c) { return c >= 'a' && c <= 'z'; }

constexpr char caseDistance = 'a' - 'A';

}  // namespace

std::string toLowerAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (isUpper(c)) {
            c = static_cast<char>(c + caseDistance);
        }
    }
    return result;
}

std::string toUpperAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (isLower(c)) {
            c = static_cast<char>(c - caseDistance);
        }
    }
    return result;
}

bool needsConversion(std::string_view name, bool toLower, bool mixed) {
    bool hasUpper = false;
    bool hasLower = false;
    for (const char c : name) {
        hasUpper = hasUpper || isUpper(c);
        hasLower = hasLower || isLower(c);
    }
    const bool hasTargetCaseLetter = toLower ? hasLower : hasUpper;
    const bool hasOtherCaseLetter = toLower ? hasUpper : hasLower;
    return hasOtherCaseLetter && (mixed || !hasTargetCaseLetter);
}

}  // namespace tocase
