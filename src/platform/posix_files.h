#ifndef TOCASE_PLATFORM_POSIX_FILES_H
#define TOCASE_PLATFORM_POSIX_FILES_H

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/platform.h"

namespace tocase {

// The path to open for a directory prefix: backslashes separate too, and the
// empty prefix is the current directory.
std::string posixDirectoryPath(std::string_view directoryPrefix);

using DirectoryListing = std::vector<FoundEntry>;

// Every entry of the directory open as `directoryFd`, "." and ".."
// included; null when it cannot be read.
std::shared_ptr<const DirectoryListing> readDirectory(int directoryFd);

// The entries of `listing` that match `namePattern`, as a search. The
// listing is shared, not copied: one reading may serve several searches.
std::unique_ptr<DirectorySearch> searchListing(std::shared_ptr<const DirectoryListing> listing,
                                               std::string_view namePattern);

// Whether the entry `name` is a directory, following a symbolic link as a
// search does; nothing when there is no such entry.
std::optional<bool> entryIsDirectory(int directoryFd, const char* name);

// One directory that entries are renamed in, with what the renames have
// taught about its file system. Never replaces or removes another entry.
class RenameDirectory {
public:
    // Takes ownership of `directoryFd`, which may be -1 (nothing can be
    // renamed then).
    explicit RenameDirectory(int directoryFd);
    ~RenameDirectory();
    RenameDirectory(const RenameDirectory&) = delete;
    RenameDirectory& operator=(const RenameDirectory&) = delete;

    // Renames the entry if it still is a directory, or still is not one, as
    // `isDirectory` says. True only when the directory then holds `newName`,
    // byte for byte.
    bool rename(const std::string& oldName, const std::string& newName, bool isDirectory);

    int fd() const { return directoryFd_; }

private:
    int renameNoReplace(const std::string& from, const std::string& to);
    bool holdsExactName(const std::string& name);
    bool readExactNames();
    void noteRenamed(const std::string& from, const std::string& to);
    bool renameThroughTemporaryName(const std::string& oldName, const std::string& newName);
    int renameToTemporaryName(const std::string& oldName, std::string& temporaryName);
    bool confirmSpelling(const std::string& newName);

    int directoryFd_;
    // The names exactly as stored, read once when first needed and kept up
    // to date with the renames made here.
    std::optional<std::unordered_set<std::string>> exactNames_;
    bool spellingConfirmed_ = false;
};

}  // namespace tocase

#endif
