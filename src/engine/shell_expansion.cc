#include "engine/shell_expansion.h"

#include <algorithm>

#include "engine/split_path.h"

namespace tocase {

bool looksLikeShellExpansion(std::string_view first, const std::vector<std::string>& others, Platform& platform) {
    const std::string prefix = splitFileSpec(first, platform.facts()).directoryPrefix;
    Failure ignored;
    const std::shared_ptr<const DirectoryListing> listing =
        platform.openDirectory(prefix, ignored) == EnterResult::entered ? platform.listDirectory(ignored) : nullptr;
    if (!listing || others.empty()) {
        return false;
    }
    return std::all_of(others.begin(), others.end(), [&](const std::string& other) {
        const FileSpecParts parts = splitFileSpec(other, platform.facts());
        return parts.directoryPrefix == prefix &&
               std::any_of(listing->begin(), listing->end(),
                           [&parts](const FoundEntry& entry) { return entry.name == parts.namePattern; });
    });
}

}  // namespace tocase
