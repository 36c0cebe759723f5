#include "engine/split_path.h"

namespace tocase {

FileSpecParts splitFileSpec(std::string_view fileSpec, const PlatformFacts& facts) {
    const std::size_t driveLength =
        (facts.hasDriveLetters && fileSpec.size() >= 2 && fileSpec[1] == ':') ? 2 : 0;

    // The prefix ends after the last separator; in UTF-8 no byte of a
    // longer character is ever taken for one.
    const std::size_t separator = fileSpec.find_last_of("\\/");
    const std::size_t prefixLength =
        separator == std::string_view::npos || separator < driveLength ? driveLength : separator + 1;
    return {std::string(fileSpec.substr(0, prefixLength)),
            std::string(fileSpec.substr(prefixLength))};
}

void appendSubdirectory(std::string& prefix, std::string_view name) { prefix.append(name).push_back('\\'); }

}  // namespace tocase
