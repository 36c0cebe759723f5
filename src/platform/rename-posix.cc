#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/posix_files.h"

namespace tocase {
namespace {

bool flagIsRefused(int error) { return error == EINVAL || error == ENOSYS || error == ENOTSUP; }

// 0 or the errno. The kernel's no-replace flag first; where the file system
// refuses it (FUSE answers EINVAL), a look-up that `to` is free and then a
// plain rename. Never a link and unlink: such file systems refuse links too.
int renameNoReplace(int directoryFd, const std::string& from, const std::string& to) {
    if (renameat2(directoryFd, from.c_str(), directoryFd, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    const int error = errno;
    if (!flagIsRefused(error)) {
        return error;
    }
    struct stat status {};
    if (fstatat(directoryFd, to.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
        return EEXIST;
    }
    if (errno != ENOENT) {
        return errno;
    }
    return renameat(directoryFd, from.c_str(), directoryFd, to.c_str()) == 0 ? 0 : errno;
}

// Whether an entry carries exactly `name`, byte for byte; a look-up cannot
// tell, as a case-folding file system resolves every spelling.
bool directoryHoldsExactName(int directoryFd, const std::string& name) {
    const int readFd = openat(directoryFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (readFd < 0) {
        return true;  // cannot tell: assume taken, so nothing is replaced
    }
    DIR* directory = fdopendir(readFd);
    if (directory == nullptr) {
        close(readFd);
        return true;
    }
    bool found = false;
    while (const dirent* record = readdir(directory)) {
        if (name == record->d_name) {
            found = true;
            break;
        }
    }
    closedir(directory);
    return found;
}

// A name nothing else holds is found by trying: the no-replace rename
// itself is the test.
int renameToTemporaryName(int directoryFd, const std::string& oldName, std::string& temporaryName) {
    constexpr int attempts = 100;
    for (int i = 0; i < attempts; ++i) {
        temporaryName = "~tocase-" + std::to_string(getpid()) + "-" + std::to_string(i) + ".tmp";
        const int error = renameNoReplace(directoryFd, oldName, temporaryName);
        if (error != EEXIST) {
            return error;
        }
    }
    return EEXIST;
}

// On a case-folding file system the new name is "taken" by the entry
// itself: go round through a temporary name, and put the entry back under
// its old name if the second step fails.
bool renameThroughTemporaryName(int directoryFd, const std::string& oldName,
                                const std::string& newName) {
    std::string temporaryName;
    if (renameToTemporaryName(directoryFd, oldName, temporaryName) != 0) {
        return false;
    }
    if (renameNoReplace(directoryFd, temporaryName, newName) != 0) {
        renameNoReplace(directoryFd, temporaryName, oldName);
        return false;
    }
    // Some drivers store another spelling than the one asked for.
    return directoryHoldsExactName(directoryFd, newName);
}

}  // namespace

bool renameInDirectory(int directoryFd, const std::string& oldName, const std::string& newName) {
    const int error = renameNoReplace(directoryFd, oldName, newName);
    if (error == 0) {
        return true;
    }
    if (error == EEXIST && !directoryHoldsExactName(directoryFd, newName)) {
        return renameThroughTemporaryName(directoryFd, oldName, newName);
    }
    return false;
}

}  // namespace tocase
