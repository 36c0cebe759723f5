#include "engine/name_match.h"

#include "text/ascii_case.h"
#include "text/unicode_case.h"

namespace tocase {
namespace {

// The bytes a pattern's character and a name's take when the one matches
// the other; none when it does not.
struct UnitMatch {
    std::size_t patternLength = 0;
    std::size_t nameLength = 0;
};

bool byCharacter(const MatchRules& rules) { return rules.allScripts || rules.namesAreUtf16; }

std::size_t unitLength(std::string_view text, std::size_t at, const MatchRules& rules) {
    return byCharacter(rules) ? decodeNameUnit(text, at, rules.namesAreUtf16).length : 1;
}

char32_t folded(char32_t c, const MatchRules& rules) { return rules.allScripts ? simpleCaseFold(c) : foldAsciiCase(c); }

UnitMatch matchUnit(std::string_view pattern, std::size_t p, std::string_view name, std::size_t n,
                    const MatchRules& rules) {
    if (p == pattern.size()) {
        return {};
    }
    if (!byCharacter(rules)) {
        const bool same = pattern[p] == '?' || foldAsciiCase(pattern[p]) == foldAsciiCase(name[n]);
        return same ? UnitMatch{1, 1} : UnitMatch{};
    }
    const NameUnit nameUnit = decodeNameUnit(name, n, rules.namesAreUtf16);
    if (pattern[p] == '?') {
        return {1, nameUnit.length};
    }
    const NameUnit patternUnit = decodeNameUnit(pattern, p, rules.namesAreUtf16);
    const bool same = patternUnit.valid && nameUnit.valid
                          ? folded(patternUnit.codePoint, rules) == folded(nameUnit.codePoint, rules)
                          : !patternUnit.valid && !nameUnit.valid && pattern[p] == name[n];
    return same ? UnitMatch{patternUnit.length, nameUnit.length} : UnitMatch{};
}

// Greedy match with one backtrack point, which resumes a whole character
// on: linear in practice and never exponential, whatever the pattern holds.
bool matchesWildcards(std::string_view pattern, std::string_view name, const MatchRules& rules) {
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starAt = std::string_view::npos;
    std::size_t resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            resumeAt = n;
        } else if (const UnitMatch match = matchUnit(pattern, p, name, n, rules); match.patternLength != 0) {
            p += match.patternLength;
            n += match.nameLength;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            resumeAt += unitLength(name, resumeAt, rules);
            n = resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

}  // namespace

bool matchesNamePattern(std::string_view pattern, std::string_view name, const MatchRules& rules) {
    // The descent's pattern and the commonest one match every name.
    if (pattern == "*" || pattern == "*.*" || matchesWildcards(pattern, name, rules)) {
        return true;
    }
    constexpr std::string_view anyExtension = ".*";
    if (pattern.size() > anyExtension.size() && pattern.ends_with(anyExtension)) {
        return matchesWildcards(pattern.substr(0, pattern.size() - anyExtension.size()), name, rules);
    }
    return false;
}

}  // namespace tocase
