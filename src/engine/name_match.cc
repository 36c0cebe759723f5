#include "engine/name_match.h"

#include "platform/ascii_case.h"

namespace tocase {
namespace {

// Greedy match with one backtrack point: linear in practice and never
// exponential, whatever the pattern holds.
bool matchesWildcards(std::string_view pattern, std::string_view name) {
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starAt = std::string_view::npos;
    std::size_t resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            resumeAt = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || foldAsciiCase(pattern[p]) == foldAsciiCase(name[n]))) {
            ++p;
            ++n;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            n = ++resumeAt;
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

bool matchesNamePattern(std::string_view pattern, std::string_view name) {
    // The descent's pattern and the commonest one match every name.
    if (pattern == "*" || pattern == "*.*" || matchesWildcards(pattern, name)) {
        return true;
    }
    constexpr std::string_view anyExtension = ".*";
    if (pattern.size() > anyExtension.size() && pattern.ends_with(anyExtension)) {
        return matchesWildcards(pattern.substr(0, pattern.size() - anyExtension.size()), name);
    }
    return false;
}

}  // namespace tocase
