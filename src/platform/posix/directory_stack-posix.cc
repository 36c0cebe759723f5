#include "platform/posix/directory_stack-posix.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/read_directory-posix.h"
#include "platform/posix/system_calls-posix.h"

namespace tocase {
namespace {

constexpr int directoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

void closeIfOpen(int fd) {
    if (fd >= 0) {
        systemCalls().close(fd);
    }
}

// No directory of that name: nothing there, or something else.
bool isMissing(int error) { return error == ENOENT || error == ENOTDIR; }

bool isLink(int directoryFd, const std::string& name) {
    struct stat status {};
    return systemCalls().fstatat(directoryFd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISLNK(status.st_mode);
}

}  // namespace

DirectoryStack::~DirectoryStack() { closeAll(); }

void DirectoryStack::closeAll() {
    for (const Level& level : levels_) {
        closeIfOpen(level.fd);
    }
    levels_.clear();
    letGo_ = 0;
}

// The mount identifier tells a bind mount of the same device apart; where
// the system has none, the device alone does.
bool DirectoryStack::identify(int fd, Identity& identity, Failure& failure) {
    struct statx status {};
    if (systemCalls().statx(fd, "", AT_EMPTY_PATH, STATX_INO | STATX_MNT_ID, &status) == 0) {
        identity.device = makedev(status.stx_dev_major, status.stx_dev_minor);
        identity.inode = status.stx_ino;
        identity.mountId = (status.stx_mask & STATX_MNT_ID) != 0 ? status.stx_mnt_id : 0;
        return true;
    }
    struct stat plain {};
    if (systemCalls().fstatat(fd, "", &plain, AT_EMPTY_PATH) != 0) {
        failure = systemFailure(errno);
        return false;
    }
    identity = {plain.st_dev, plain.st_ino, 0};
    return true;
}

bool DirectoryStack::sameFile(const Identity& a, const Identity& b) {
    return a.device == b.device && a.inode == b.inode;
}

// The mount identifier where the system gives one: a btrfs subvolume has
// a device of its own, but nothing is mounted there.
bool DirectoryStack::sameMount(const Identity& a, const Identity& b) {
    return a.mountId != 0 && b.mountId != 0 ? a.mountId == b.mountId : a.device == b.device;
}

// What the user typed is opened as given, links and all.
EnterResult DirectoryStack::openFirst(const std::string& path, Failure& failure) {
    closeAll();
    if (maxHeld_ == 0) {
        maxHeld_ = std::max<std::size_t>(limit_(), 2);
    }
    Level first;
    first.fd = systemCalls().openat(AT_FDCWD, path.c_str(), directoryFlags);
    if (first.fd < 0) {
        const int error = errno;
        failure = systemFailure(error);
        return isMissing(error) ? EnterResult::missing : EnterResult::failed;
    }
    if (!identify(first.fd, first.identity, failure)) {
        closeIfOpen(first.fd);
        return EnterResult::failed;
    }
    levels_.push_back(std::move(first));
    return EnterResult::entered;
}

// A name that has become a link since the listing is passed by, not
// followed; a directory where another file system is mounted is refused.
EnterResult DirectoryStack::openChild(const std::string& name, Failure& failure) {
    Level child;
    child.fd = systemCalls().openat(currentFd(), name.c_str(), directoryFlags | O_NOFOLLOW);
    if (child.fd < 0) {
        const int error = errno;
        if (isLink(currentFd(), name)) {
            return EnterResult::link;
        }
        failure = systemFailure(error);
        return isMissing(error) ? EnterResult::missing : EnterResult::failed;
    }
    if (!identify(child.fd, child.identity, failure)) {
        closeIfOpen(child.fd);
        return EnterResult::failed;
    }
    const Identity& parent = levels_.back().identity;
    if (!sameMount(child.identity, parent)) {
        closeIfOpen(child.fd);
        failure = failureOf(FailureKind::anotherFileSystem);
        return EnterResult::refused;
    }
    child.name = name;
    levels_.push_back(std::move(child));
    if (levels_.size() - letGo_ > maxHeld_) {
        letGoOfOne();
    }
    return EnterResult::entered;
}

// The outermost held level after the first is the last to be needed again.
void DirectoryStack::letGoOfOne() {
    Level& level = levels_[letGo_ + 1];
    closeIfOpen(level.fd);
    level.fd = -1;
    ++letGo_;
}

// -1 unless ".." of the child is still the very parent that was let go.
int DirectoryStack::openParentAgain(const Level& parent, int childFd) {
    const int fd = childFd < 0 ? -1 : systemCalls().openat(childFd, "..", directoryFlags | O_NOFOLLOW);
    return confirmed(fd, parent);
}

// `fd` if it is open on the very directory of `level`, else -1, closed.
int DirectoryStack::confirmed(int fd, const Level& level) {
    Identity found;
    Failure ignored;
    if (fd >= 0 && identify(fd, found, ignored) && sameFile(found, level.identity)) {
        return fd;
    }
    closeIfOpen(fd);
    return -1;
}

// Down from the first directory, which is always held, by the names the
// levels were entered by, each confirmed to be the very directory it was:
// for a level whose child has moved, so that ".." of the child no longer
// leads back to it.
int DirectoryStack::openFromTheFirst(std::size_t index) {
    int fd = levels_.front().fd;
    for (std::size_t i = 1; i <= index && fd >= 0; ++i) {
        const int parentFd = fd;
        fd = confirmed(systemCalls().openat(parentFd, levels_[i].name.c_str(), directoryFlags | O_NOFOLLOW), levels_[i]);
        if (parentFd != levels_.front().fd) {
            closeIfOpen(parentFd);
        }
    }
    return fd;
}

// The parent is reached again through ".." of the child, which costs one
// call, or where the child has moved, from the first directory down.
bool DirectoryStack::closeCurrent(Failure& failure) {
    int childFd = levels_.back().fd;
    levels_.pop_back();
    bool reached = true;
    if (!levels_.empty() && levels_.back().fd < 0) {
        Level& parent = levels_.back();
        parent.fd = openParentAgain(parent, childFd);
        if (parent.fd < 0) {
            closeIfOpen(childFd);
            childFd = -1;
            parent.fd = openFromTheFirst(levels_.size() - 1);
        }
        reached = parent.fd >= 0;
        letGo_ = levels_.size() - 2;
        if (!reached) {
            failure = failureOf(FailureKind::movedElsewhere);
        }
    }
    closeIfOpen(childFd);
    return reached;
}

bool DirectoryStack::currentIsStillInItsParent(Failure& failure) {
    if (levels_.size() < 2) {
        return true;
    }
    const Level& current = levels_.back();
    const Level& parent = levels_[levels_.size() - 2];
    const int parentFd = parent.fd >= 0 ? parent.fd : openParentAgain(parent, current.fd);
    struct stat status {};
    const bool inPlace =
        parentFd >= 0 &&
        systemCalls().fstatat(parentFd, current.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
        status.st_dev == current.identity.device && status.st_ino == current.identity.inode;
    if (parentFd != parent.fd) {
        closeIfOpen(parentFd);
    }
    if (!inPlace) {
        failure = failureOf(FailureKind::movedElsewhere);
    }
    return inPlace;
}

}  // namespace tocase
