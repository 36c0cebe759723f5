#ifndef TOCASE_PLATFORM_POSIX_FILES_H
#define TOCASE_PLATFORM_POSIX_FILES_H

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/platform.h"

namespace tocase {

// The text of an errno value for a person.
std::string reasonText(int error);

// The path to open for a directory prefix: backslashes separate too, and the
// empty prefix is the current directory.
std::string posixDirectoryPath(std::string_view directoryPrefix);

using DirectoryListing = std::vector<FoundEntry>;

// Every entry of the directory open as `directoryFd`, "." and ".."
// included, read from its start to its end; null when that fails.
std::shared_ptr<const DirectoryListing> readDirectory(int directoryFd, std::string& reason);

// Whether the entry `name` is a directory, following a symbolic link as a
// search does; nothing when there is no such entry.
std::optional<bool> entryIsDirectory(int directoryFd, const char* name);

// The directories a walk is inside, each open as a descriptor: the first
// as typed, each other one relative to its parent and never through a
// link. Only the outermost and the innermost `maxHeld` - 1 stay open, so
// no depth runs out of descriptors; one let go is opened again through
// ".." of its child when the walk climbs back, and only if it is still
// the very same directory.
class DirectoryStack {
public:
    explicit DirectoryStack(std::size_t maxHeld) : maxHeld_(maxHeld < 2 ? 2 : maxHeld) {}
    ~DirectoryStack();
    DirectoryStack(const DirectoryStack&) = delete;
    DirectoryStack& operator=(const DirectoryStack&) = delete;

    bool openFirst(const std::string& path, std::string& reason);
    bool openChild(const std::string& name, std::string& reason);
    bool closeCurrent(std::string& reason);
    // -1 when there is none, or the current one could not be reached again.
    int currentFd() const { return levels_.empty() ? -1 : levels_.back().fd; }

private:
    struct Level {
        int fd = -1;
        // Known once the descriptor is let go.
        dev_t device = 0;
        ino_t inode = 0;
    };
    void closeAll();
    void letGoOfOne();
    bool reopenThroughChild(Level& level, int childFd, std::string& reason);

    std::size_t maxHeld_;
    std::vector<Level> levels_;
    std::size_t letGo_ = 0;  // levels 1 to letGo_ have no descriptor
};

// Renames entries of one directory, with what the renames teach about its
// file system. Never replaces or removes another entry.
class RenameDirectory {
public:
    explicit RenameDirectory(int directoryFd) : directoryFd_(directoryFd) {}

    // Renames the entry if it still is a directory, or still is not one, as
    // `isDirectory` says. Renamed only when the directory then holds
    // `newName`, byte for byte.
    RenameResult rename(const std::string& oldName, const std::string& newName, bool isDirectory);

private:
    int renameNoReplace(const std::string& from, const std::string& to);
    bool holdsExactName(const std::string& name);
    bool readExactNames();
    void noteRenamed(const std::string& from, const std::string& to);
    RenameResult renameThroughTemporaryName(const std::string& oldName, const std::string& newName);
    int renameToTemporaryName(const std::string& oldName, std::string& temporaryName);
    bool confirmSpelling(const std::string& newName);

    int directoryFd_;  // not owned
    // The names exactly as stored, read once when first needed and kept up
    // to date with the renames made here.
    std::optional<std::unordered_set<std::string>> exactNames_;
    bool spellingConfirmed_ = false;
};

// The platform of this process, with at most `maxHeldDirectories` open at
// once during a walk.
std::unique_ptr<Platform> makePosixPlatform(std::size_t maxHeldDirectories);

}  // namespace tocase

#endif
