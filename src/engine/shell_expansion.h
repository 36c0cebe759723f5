#ifndef TOCASE_ENGINE_SHELL_EXPANSION_H
#define TOCASE_ENGINE_SHELL_EXPANSION_H

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace tocase {

// Whether `others`, file specifications typed after `first`, look like what
// a shell made of an unquoted wildcard: each the name of an entry that the
// first one's directory holds, typed with the same directory prefix.
bool looksLikeShellExpansion(std::string_view first, const std::vector<std::string>& others, Platform& platform);

}  // namespace tocase

#endif
