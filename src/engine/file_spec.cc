#include "engine/file_spec.h"

namespace tocase {

FileSpecParts splitFileSpec(std::string_view fileSpec, const PlatformFacts& facts) {
    const std::size_t driveLength =
        (facts.hasDriveLetters && fileSpec.size() >= 2 && fileSpec[1] == ':') ? 2 : 0;

    // The prefix ends after the last separator; the trail byte of a
    // double-byte character is stepped over, never taken for one.
    std::size_t prefixLength = driveLength;
    for (std::size_t i = driveLength; i < fileSpec.size(); ++i) {
        const char c = fileSpec[i];
        if (facts.leadBytes[static_cast<unsigned char>(c)]) {
            ++i;
        } else if (c == '\\' || c == '/') {
            prefixLength = i + 1;
        }
    }
    return {std::string(fileSpec.substr(0, prefixLength)),
            std::string(fileSpec.substr(prefixLength))};
}

}  // namespace tocase
