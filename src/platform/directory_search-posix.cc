#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix_calls.h"
#include "platform/posix_files.h"

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

std::shared_ptr<const DirectoryListing> readDirectory(int directoryFd, std::string& reason) {
    // The stream takes its own descriptor, which shares the position of
    // `directoryFd`: read from the start, as the directory may have been
    // read before.
    const int readFd = dup(directoryFd);
    DIR* directory = readFd < 0 ? nullptr : fdopendir(readFd);
    if (directory == nullptr) {
        reason = reasonText(errno);
        if (readFd >= 0) {
            close(readFd);
        }
        return nullptr;
    }
    rewinddir(directory);
    auto entries = std::make_shared<DirectoryListing>();
    errno = 0;
    while (const dirent* record = posixCalls().readdir(directory)) {
        FoundEntry& entry = entries->emplace_back();
        entry.name = record->d_name;
        entry.isHidden = entry.name.front() == '.';
        classifyEntry(directoryFd, *record, entry);
        errno = 0;
    }
    const int error = errno;
    closedir(directory);
    if (error != 0) {
        reason = reasonText(error);
        return nullptr;
    }
    return entries;
}

}  // namespace tocase
