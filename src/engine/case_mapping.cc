#include "engine/case_mapping.h"

#include <algorithm>

#include "text/ascii_case.h"
#include "text/unicode_case.h"

namespace tocase {
namespace {

bool isAscii(char c) { return static_cast<unsigned char>(c) < 0x80; }

// A part without a byte beyond ASCII, or in a run without /A, takes the
// one scan it always took: the full mapping of an ASCII letter is its
// ASCII one.
std::optional<std::string> convertedAscii(std::string_view part, bool toLower, bool mixed) {
    bool hasUpper = false;
    bool hasLower = false;
    for (const char c : part) {
        hasUpper = hasUpper || isAsciiUpper(c);
        hasLower = hasLower || isAsciiLower(c);
    }
    const bool hasTargetCaseLetter = toLower ? hasLower : hasUpper;
    const bool hasOtherCaseLetter = toLower ? hasUpper : hasLower;
    if (!hasOtherCaseLetter || (!mixed && hasTargetCaseLetter)) {
        return std::nullopt;
    }
    std::string converted(part);
    for (char& c : converted) {
        c = toAsciiCase(c, toLower);
    }
    return converted;
}

std::optional<std::string> convertedAllScripts(std::string_view part, bool toLower, bool mixed) {
    std::string converted = convertCaseAllScripts(part, toLower);
    if (converted == part || (!mixed && convertCaseAllScripts(part, !toLower) != part)) {
        return std::nullopt;
    }
    return converted;
}

// What the options that decide a name's new name say.
struct CaseRules {
    bool toLower;
    bool mixed;
    bool allScripts;
    bool extensionOnly;
};

CaseRules caseRules(const RunSettings& settings) {
    return {settings.toLower, settings.mixed, settings.allScripts, settings.extensionOnly};
}

std::optional<std::string> convertedName(std::string_view name, const CaseRules& rules) {
    std::size_t start = 0;
    if (rules.extensionOnly) {
        const std::size_t dot = name.rfind('.');
        if (dot == std::string_view::npos || dot == 0) {
            return std::nullopt;
        }
        start = dot + 1;
    }
    const std::string_view part = name.substr(start);
    const std::optional<std::string> converted =
        rules.allScripts && !std::all_of(part.begin(), part.end(), isAscii)
            ? convertedAllScripts(part, rules.toLower, rules.mixed)
            : convertedAscii(part, rules.toLower, rules.mixed);
    if (!converted) {
        return std::nullopt;
    }
    return std::string(name.substr(0, start)) + *converted;
}

}  // namespace

std::optional<std::string> convertedName(std::string_view name, const RunSettings& settings) {
    return convertedName(name, caseRules(settings));
}

MissedOptions missedOptions(std::string_view name, const std::optional<std::string>& newName,
                            const RunSettings& settings) {
    MissedOptions missed;
    // A name of ASCII alone converts with /A as without; a name converted
    // converts with /MIXED as without.
    if (!std::all_of(name.begin(), name.end(), isAscii)) {
        CaseRules withAllScripts = caseRules(settings);
        withAllScripts.allScripts = true;
        const std::optional<std::string> otherName = convertedName(name, withAllScripts);
        missed.allScripts = otherName && otherName != newName;
    }
    if (!newName) {
        CaseRules withMixed = caseRules(settings);
        withMixed.mixed = true;
        missed.mixed = convertedName(name, withMixed).has_value();
    }
    return missed;
}

}  // namespace tocase
