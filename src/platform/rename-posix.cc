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

// The original name comes first, so that an entry left under a temporary
// name by a crash can be told; where that name would be too long, a
// generic one.
std::string temporaryName(const std::string& oldName, int attempt, bool generic) {
    const std::string unique = "~tocase-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
    return generic ? unique + ".tmp" : oldName + "." + unique;
}

RenameResult renamedIf(bool renamed) {
    RenameResult result;
    result.renamed = renamed;
    return result;
}

}  // namespace

PosixCalls& posixCalls() {
    static PosixCalls calls{::renameat2, ::renameat, ::readdir};
    return calls;
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
    std::string ignored;
    const std::shared_ptr<const DirectoryListing> listing = readDirectory(directoryFd_, ignored);
    if (!listing) {
        return false;
    }
    exactNames_.emplace();
    for (const FoundEntry& entry : *listing) {
        exactNames_->insert(entry.name);
    }
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
int RenameDirectory::renameToTemporaryName(const std::string& oldName, std::string& temporary) {
    constexpr int attempts = 100;
    bool generic = false;
    for (int i = 0; i < attempts; ++i) {
        temporary = temporaryName(oldName, i, generic);
        int error = renameNoReplace(oldName, temporary);
        if (error == ENAMETOOLONG && !generic) {
            generic = true;
            temporary = temporaryName(oldName, i, generic);
            error = renameNoReplace(oldName, temporary);
        }
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
RenameResult RenameDirectory::renameThroughTemporaryName(const std::string& oldName,
                                                         const std::string& newName) {
    std::string temporary;
    if (renameToTemporaryName(oldName, temporary) != 0) {
        return {};
    }
    if (renameNoReplace(temporary, newName) != 0) {
        const int error = renameNoReplace(temporary, oldName);
        RenameResult result;
        if (error != 0) {
            result.strandedName = temporary;
            result.reason = reasonText(error);
        }
        return result;
    }
    noteRenamed(oldName, newName);
    return renamedIf(confirmSpelling(newName));
}

RenameResult RenameDirectory::rename(const std::string& oldName, const std::string& newName,
                                     bool isDirectory) {
    if (directoryFd_ < 0 || entryIsDirectory(directoryFd_, oldName.c_str()) != isDirectory) {
        return {};
    }
    const int error = renameNoReplace(oldName, newName);
    if (error == 0) {
        noteRenamed(oldName, newName);
        return renamedIf(true);
    }
    if (error == EEXIST && !holdsExactName(newName)) {
        return renameThroughTemporaryName(oldName, newName);
    }
    return {};
}

}  // namespace tocase
