#ifndef TOCASE_ENGINE_NAME_MATCH_H
#define TOCASE_ENGINE_NAME_MATCH_H

#include <string_view>

namespace tocase {

// Wildcard match as a directory search does it: ASCII letters match
// regardless of case, `*` matches any run of bytes (none too), `?` exactly
// one byte, and a pattern ending in ".*" also matches the name with no
// extension, so "*.*" matches every name.
bool matchesNamePattern(std::string_view pattern, std::string_view name);

}  // namespace tocase

#endif
