#ifndef TOCASE_ENGINE_SPLIT_PATH_H
#define TOCASE_ENGINE_SPLIT_PATH_H

#include <string>
#include <string_view>

#include "platform/platform_facts.h"

namespace tocase {

// A file specification split into its directory prefix (drive and
// directory, up to and including the last `\` or `/`) and its name pattern
// (the last component, which may hold wildcards).
struct FileSpecParts {
    std::string directoryPrefix;
    std::string namePattern;
};

FileSpecParts splitFileSpec(std::string_view fileSpec, const PlatformFacts& facts);

// The prefix of a subdirectory below `prefix`: the descent always joins
// with "\", whatever separator the user typed.
void appendSubdirectory(std::string& prefix, std::string_view name);

}  // namespace tocase

#endif
