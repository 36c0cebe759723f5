#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/posix_calls.h"
#include "platform/posix_files.h"

namespace tocase {
namespace {

bool flagIsRefused(int error) { return error == EINVAL || error == ENOSYS || error == ENOTSUP; }

}  // namespace

PosixCalls& posixCalls() {
    static PosixCalls calls{::renameat2, ::renameat};
    return calls;
}

RenameDirectory::RenameDirectory(int directoryFd) : directoryFd_(directoryFd) {}

RenameDirectory::~RenameDirectory() {
    if (directoryFd_ >= 0) {
        close(directoryFd_);
    }
}

// 0 or the errno. The kernel's no-replace flag first; where the file system
// refuses it (FUSE answers EINVAL), a look-up that `to` is free and then a
// plain rename. Never a link and unlink: such file systems refuse links too.
// The flag is tried every time, even after a refusal: FUSE answers EEXIST
// before EINVAL, and its look-up of a rename target bypasses the kernel's
// cached names, which a plain look-up would trust even when stale.
int RenameDirectory::renameNoReplace(const std::string& from, const std::string& to) {
    if (posixCalls().renameat2(directoryFd_, from.c_str(), directoryFd_, to.c_str(),
                               RENAME_NOREPLACE) == 0) {
        return 0;
    }
    const int error = errno;
    if (!flagIsRefused(error)) {
        return error;
    }
    struct stat status {};
    if (fstatat(directoryFd_, to.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
        return EEXIST;
    }
    if (errno != ENOENT) {
        return errno;
    }
    return posixCalls().renameat(directoryFd_, from.c_str(), directoryFd_, to.c_str()) == 0 ? 0
                                                                                            : errno;
}

bool RenameDirectory::readExactNames() {
    const int readFd = openat(directoryFd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (readFd < 0) {
        return false;
    }
    DIR* directory = fdopendir(readFd);
    if (directory == nullptr) {
        close(readFd);
        return false;
    }
    exactNames_.emplace();
    while (const dirent* record = readdir(directory)) {
        exactNames_->insert(record->d_name);
    }
    closedir(directory);
    return true;
}

// A look-up cannot tell: a case-folding file system resolves every
// spelling. When the directory cannot be read, the name counts as taken,
// so nothing is ever attempted that could replace it.
bool RenameDirectory::holdsExactName(const std::string& name) {
    if (!exactNames_ && !readExactNames()) {
        return true;
    }
    return exactNames_->contains(name);
}

void RenameDirectory::noteRenamed(const std::string& from, const std::string& to) {
    if (exactNames_) {
        exactNames_->erase(from);
        exactNames_->insert(to);
    }
}

// A name nothing else holds is found by trying: the no-replace rename
// itself is the test.
int RenameDirectory::renameToTemporaryName(const std::string& oldName, std::string& temporaryName) {
    constexpr int attempts = 100;
    for (int i = 0; i < attempts; ++i) {
        temporaryName = "~tocase-" + std::to_string(getpid()) + "-" + std::to_string(i) + ".tmp";
        const int error = renameNoReplace(oldName, temporaryName);
        if (error != EEXIST) {
            return error;
        }
    }
    return EEXIST;
}

// Some drivers store another spelling than the one asked for. How a file
// system stores names does not change from one entry to the next, so one
// fresh read per directory tells, until a rename is found not to have
// taken.
bool RenameDirectory::confirmSpelling(const std::string& newName) {
    if (spellingConfirmed_) {
        return true;
    }
    if (!readExactNames()) {
        return false;
    }
    spellingConfirmed_ = exactNames_->contains(newName);
    return spellingConfirmed_;
}

// On a case-folding file system the new name is "taken" by the entry
// itself: go round through a temporary name, and put the entry back under
// its old name if the second step fails.
bool RenameDirectory::renameThroughTemporaryName(const std::string& oldName,
                                                 const std::string& newName) {
    std::string temporaryName;
    if (renameToTemporaryName(oldName, temporaryName) != 0) {
        return false;
    }
    if (renameNoReplace(temporaryName, newName) != 0) {
        renameNoReplace(temporaryName, oldName);
        return false;
    }
    noteRenamed(oldName, newName);
    return confirmSpelling(newName);
}

bool RenameDirectory::rename(const std::string& oldName, const std::string& newName,
                             bool isDirectory) {
    if (directoryFd_ < 0 || entryIsDirectory(directoryFd_, oldName.c_str()) != isDirectory) {
        return false;
    }
    const int error = renameNoReplace(oldName, newName);
    if (error == 0) {
        noteRenamed(oldName, newName);
        return true;
    }
    if (error == EEXIST && !holdsExactName(newName)) {
        return renameThroughTemporaryName(oldName, newName);
    }
    return false;
}

}  // namespace tocase
