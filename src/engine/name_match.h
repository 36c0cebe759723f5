#ifndef TOCASE_ENGINE_NAME_MATCH_H
#define TOCASE_ENGINE_NAME_MATCH_H

#include <string_view>

namespace tocase {

// How a name's characters are told apart. By default ASCII letters match
// regardless of case and every other byte exactly. With `allScripts`,
// letters of every script match by Unicode's simple case folding. `?`
// takes one byte, or with either rule one character: a UTF-8 sequence, a
// byte that is not part of one, or with `namesAreUtf16` an encoded
// surrogate without its pair.
struct MatchRules {
    bool allScripts = false;
    bool namesAreUtf16 = false;
};

// Wildcard match: `*` matches any run of characters (none too), `?` exactly
// one, and a pattern ending in ".*" also matches the name with no
// extension, so "*.*" matches every name.
bool matchesNamePattern(std::string_view pattern, std::string_view name, const MatchRules& rules = {});

}  // namespace tocase

#endif
