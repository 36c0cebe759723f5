#include "engine/walk_file_spec.h"

#include <string>

#include "engine/file_spec.h"

namespace tocase {
namespace {

bool isDotOrDotDot(std::string_view name) { return name == "." || name == ".."; }

bool canDescendInto(const FoundEntry& entry) {
    // A name holding a backslash (possible on POSIX) would be read back as
    // two components, so such a directory cannot be addressed by a path.
    return entry.isDirectory && !entry.isHidden && !entry.isLink && !isDotOrDotDot(entry.name) &&
           entry.name.find('\\') == std::string::npos;
}

void descendIntoSubdirectories(const FileSpecParts& parts, RunSettings& settings,
                               EntryHandler handler, Platform& platform) {
    const std::unique_ptr<DirectorySearch> search = platform.startSearch(parts.directoryPrefix, "*.*");
    if (!search) {
        return;
    }
    FoundEntry entry;
    while (search->next(entry)) {
        if (canDescendInto(entry)) {
            walkFileSpec(parts.directoryPrefix + entry.name + '\\' + parts.namePattern, settings,
                         handler, platform);
        }
    }
}

void matchEntries(const FileSpecParts& parts, RunSettings& settings, EntryHandler handler,
                  Platform& platform) {
    const std::unique_ptr<DirectorySearch> search =
        platform.startSearch(parts.directoryPrefix, parts.namePattern);
    if (!search) {
        return;
    }
    FoundEntry entry;
    while (search->next(entry)) {
        if (entry.isDirectory != settings.directoryMode) {
            continue;
        }
        handler(EntryRef{parts.directoryPrefix, entry.name, settings, platform});
    }
}

}  // namespace

void walkFileSpec(std::string_view fileSpec, RunSettings& settings, EntryHandler handler,
                  Platform& platform) {
    const FileSpecParts parts = splitFileSpec(fileSpec, platform.facts());
    if (settings.recurse) {
        descendIntoSubdirectories(parts, settings, handler, platform);
    }
    matchEntries(parts, settings, handler, platform);
}

}  // namespace tocase
