#ifndef TOCASE_PLATFORM_REASONS_H
#define TOCASE_PLATFORM_REASONS_H

#include <string>
#include <string_view>

namespace tocase {

// The reasons both systems give in their own words, each written once.

// A rename refused because `name` is held by another entry.
inline std::string anotherEntryReason(std::string_view name) {
    std::string reason = "'";
    reason.append(name).append("' is another entry");
    return reason;
}

// A directory found elsewhere than where the walk entered it.
inline constexpr std::string_view movedElsewhereReason = "it was moved elsewhere during the run";

// A directory not entered, where another file system is mounted.
inline constexpr std::string_view anotherFileSystemReason = "another file system is mounted there";

// A name that a system would read as a path.
inline constexpr std::string_view separatorReason = "its name holds a separator, which this system would read as a path";

// A name that a system could not read whole.
inline constexpr std::string_view unreadableNameReason =
    "its name holds U+FFFD in place of what the system could not read, so it cannot be renamed exactly";

// An entry or directory found, by the name it was listed by, to be another.
inline constexpr std::string_view notAsListedReason = "it is no longer the entry that was listed";

// A directory whose path the system cannot follow to its end.
inline constexpr std::string_view pathTooDeepReason = "its path is longer than this system can follow";

// A rename the system reported done, but under a spelling other than the one asked for.
inline constexpr std::string_view otherSpellingReason = "the file system kept another spelling";

}  // namespace tocase

#endif
