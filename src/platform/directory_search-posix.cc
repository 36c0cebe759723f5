#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/name_match.h"
#include "platform/posix_files.h"
#include "platform/snapshot_search.h"

namespace tocase {
namespace {

// Where the file system gives no type, or the entry is a link, ask for it.
void classifyEntry(int directoryFd, const dirent& record, FoundEntry& entry) {
    if (record.d_type == DT_DIR || record.d_type == DT_REG) {
        entry.isDirectory = record.d_type == DT_DIR;
        return;
    }
    struct stat status {};
    entry.isLink = record.d_type == DT_LNK ||
                   (fstatat(directoryFd, record.d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                    S_ISLNK(status.st_mode));
    entry.isDirectory = entryIsDirectory(directoryFd, record.d_name).value_or(false);
}

}  // namespace

std::optional<bool> entryIsDirectory(int directoryFd, const char* name) {
    struct stat status {};
    if (fstatat(directoryFd, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return std::nullopt;
    }
    if (S_ISLNK(status.st_mode)) {
        // A link to a directory is matched as a directory, never entered.
        return fstatat(directoryFd, name, &status, 0) == 0 && S_ISDIR(status.st_mode);
    }
    return S_ISDIR(status.st_mode);
}

std::string posixDirectoryPath(std::string_view directoryPrefix) {
    if (directoryPrefix.empty()) {
        return ".";
    }
    std::string path(directoryPrefix);
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    return path;
}

std::optional<std::vector<FoundEntry>> readDirectory(int directoryFd) {
    // The stream takes its own descriptor, so `directoryFd` stays open.
    const int readFd = dup(directoryFd);
    DIR* directory = readFd < 0 ? nullptr : fdopendir(readFd);
    if (directory == nullptr) {
        if (readFd >= 0) {
            close(readFd);
        }
        return std::nullopt;
    }
    std::vector<FoundEntry> entries;
    while (const dirent* record = readdir(directory)) {
        FoundEntry entry;
        entry.name = record->d_name;
        entry.isHidden = entry.name.front() == '.';
        classifyEntry(directoryFd, *record, entry);
        entries.push_back(std::move(entry));
    }
    closedir(directory);
    return entries;
}

std::unique_ptr<DirectorySearch> searchListing(const std::vector<FoundEntry>& listing,
                                               std::string_view namePattern) {
    std::vector<FoundEntry> matches;
    for (const FoundEntry& entry : listing) {
        if (matchesNamePattern(namePattern, entry.name)) {
            matches.push_back(entry);
        }
    }
    return std::make_unique<SnapshotSearch>(std::move(matches));
}

}  // namespace tocase
