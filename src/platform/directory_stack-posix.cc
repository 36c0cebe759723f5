#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix_files.h"

namespace tocase {
namespace {

constexpr int directoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

}  // namespace

DirectoryStack::~DirectoryStack() { closeAll(); }

void DirectoryStack::closeAll() {
    for (const Level& level : levels_) {
        if (level.fd >= 0) {
            close(level.fd);
        }
    }
    levels_.clear();
    letGo_ = 0;
}

// What the user typed is opened as given, links and all.
bool DirectoryStack::openFirst(const std::string& path, std::string& reason) {
    closeAll();
    const int fd = open(path.c_str(), directoryFlags);
    if (fd < 0) {
        reason = reasonText(errno);
        return false;
    }
    levels_.push_back(Level{fd});
    return true;
}

// A name that has become a link since the search is refused, not followed.
bool DirectoryStack::openChild(const std::string& name, std::string& reason) {
    const int fd = openat(currentFd(), name.c_str(), directoryFlags | O_NOFOLLOW);
    if (fd < 0) {
        const int error = errno;
        struct stat status {};
        const bool isLink = fstatat(currentFd(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                            S_ISLNK(status.st_mode);
        reason = isLink ? "it is a symbolic link" : reasonText(error);
        return false;
    }
    levels_.push_back(Level{fd});
    if (levels_.size() - letGo_ > maxHeld_) {
        letGoOfOne();
    }
    return true;
}

// The outermost held level after the first is the last to be needed again.
void DirectoryStack::letGoOfOne() {
    Level& level = levels_[letGo_ + 1];
    struct stat status {};
    if (fstat(level.fd, &status) == 0) {
        level.device = status.st_dev;
        level.inode = status.st_ino;
    }
    close(level.fd);
    level.fd = -1;
    ++letGo_;
}

bool DirectoryStack::reopenThroughChild(Level& level, int childFd, std::string& reason) {
    const int fd = childFd < 0 ? -1 : openat(childFd, "..", directoryFlags | O_NOFOLLOW);
    struct stat status {};
    const bool same = fd >= 0 && fstat(fd, &status) == 0 && status.st_dev == level.device &&
                      status.st_ino == level.inode;
    if (!same) {
        if (fd >= 0) {
            close(fd);
        }
        reason = "a directory below it was moved elsewhere during the run";
        return false;
    }
    level.fd = fd;
    return true;
}

bool DirectoryStack::closeCurrent(std::string& reason) {
    const int childFd = levels_.back().fd;
    levels_.pop_back();
    bool reached = true;
    if (!levels_.empty() && levels_.back().fd < 0) {
        reached = reopenThroughChild(levels_.back(), childFd, reason);
        letGo_ = levels_.size() - 2;
    }
    if (childFd >= 0) {
        close(childFd);
    }
    return reached;
}

}  // namespace tocase
