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

std::unique_ptr<DirectorySearch> startPosixSearch(const std::string& directoryPath,
                                                  std::string_view namePattern) {
    const int directoryFd = open(directoryPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directoryFd < 0) {
        return nullptr;
    }
    DIR* directory = fdopendir(directoryFd);
    if (directory == nullptr) {
        close(directoryFd);
        return nullptr;
    }
    std::vector<FoundEntry> entries;
    while (const dirent* record = readdir(directory)) {
        const std::string_view name = record->d_name;
        if (!matchesNamePattern(namePattern, name)) {
            continue;
        }
        FoundEntry entry;
        entry.name = name;
        entry.isHidden = name.front() == '.';
        classifyEntry(directoryFd, *record, entry);
        entries.push_back(std::move(entry));
    }
    closedir(directory);
    return std::make_unique<SnapshotSearch>(std::move(entries));
}

}  // namespace tocase
