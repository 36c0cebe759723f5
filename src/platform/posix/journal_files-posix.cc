#include "platform/journal_files.h"

#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/posix/read_directory-posix.h"
#include "platform/posix/stop_signals-posix.h"
#include "platform/posix/system_calls-posix.h"

namespace tocase::journal_files {
namespace {

// The user's own, and no one else may write it (a directory) or read or
// write it (a file).
bool isPrivate(const struct stat& status, mode_t closed) {
    return status.st_uid == geteuid() && (status.st_mode & closed) == 0;
}

bool writeAll(int fd, std::string_view text, Failure& failure) {
    while (!text.empty()) {
        const ssize_t written = systemCalls().write(fd, text.data(), text.size());
        if (written <= 0) {
            failure = systemFailure(written < 0 ? errno : EIO);
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Written and closed; a close that fails loses what was written.
bool writeAndClose(int fd, std::string_view text, Failure& failure) {
    const bool written = writeAll(fd, text, failure);
    if (systemCalls().close(fd) != 0 && written) {
        failure = systemFailure(errno);
        return false;
    }
    return written;
}

}  // namespace

// $XDG_STATE_HOME, taken only as an absolute path, as its definition asks.
std::string directoryPath(Failure& failure) {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return std::string(state) + "/tocase";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return std::string(home) + "/.local/state/tocase";
    }
    failure = failureOf(FailureKind::noHomeDirectory);
    return {};
}

std::string pathWithin(const std::string& directory, std::string_view name) {
    return directory + "/" + std::string(name);
}

bool makeDirectories(const std::string& path, Failure& failure) {
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string part = path.substr(0, end);
        if (systemCalls().mkdirat(AT_FDCWD, part.c_str(), 0700) != 0 && errno != EEXIST) {
            failure = {FailureKind::system, errno, part};
            return false;
        }
        if (end == std::string::npos) {
            return true;
        }
    }
}

bool isPrivateDirectory(const std::string& path, bool& missing, Failure& failure) {
    struct stat status {};
    if (systemCalls().fstatat(AT_FDCWD, path.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        missing = errno == ENOENT;
        failure = {FailureKind::system, errno, path};
        return false;
    }
    if (!S_ISDIR(status.st_mode) || !isPrivate(status, S_IWGRP | S_IWOTH)) {
        failure = failureOf(FailureKind::directoryNotPrivate, path);
        return false;
    }
    return true;
}

// Reached by its path each time: nothing of the journals but the lock
// stays open while the walk runs, whose every descriptor may be needed.
std::vector<std::string> fileNames(const std::string& directory) {
    std::vector<std::string> found;
    const int fd = systemCalls().openat(AT_FDCWD, directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    Failure ignored;
    if (const auto listing = fd < 0 ? nullptr : readUnreadDirectory(fd, ignored)) {
        for (const FoundEntry& entry : *listing) {
            if (!entry.isDirectory && !entry.isLink) {
                found.emplace_back(entry.name);
            }
        }
    }
    if (fd >= 0) {
        systemCalls().close(fd);
    }
    return found;
}

bool isPrivateFile(const std::string& path, Failure& failure) {
    struct stat status {};
    if (systemCalls().fstatat(AT_FDCWD, path.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        failure = systemFailure(errno);
        return false;
    }
    if (!S_ISREG(status.st_mode) || !isPrivate(status, 077)) {
        failure = failureOf(FailureKind::fileNotPrivate);
        return false;
    }
    return true;
}

bool writeNewFile(const std::string& path, std::string_view text, Failure& failure) {
    const int fd = systemCalls().createat(AT_FDCWD, path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                                          0600);
    if (fd < 0) {
        failure = systemFailure(errno);
        return false;
    }
    return writeAndClose(fd, text, failure);
}

bool appendToFile(const std::string& path, std::string_view text, Failure& failure) {
    const int fd = systemCalls().openat(AT_FDCWD, path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        failure = systemFailure(errno);
        return false;
    }
    return writeAndClose(fd, text, failure);
}

bool readFile(const std::string& path, std::string& text, Failure& failure) {
    const int fd = systemCalls().openat(AT_FDCWD, path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        failure = systemFailure(errno);
        return false;
    }
    char buffer[65536];
    text.clear();
    ssize_t got = 0;
    while ((got = systemCalls().read(fd, buffer, sizeof buffer)) != 0) {
        if (got < 0) {
            failure = systemFailure(errno);
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    systemCalls().close(fd);
    return got == 0;
}

// Where the file system refuses the no-replace flag (FUSE), a look-up
// that the new name is free comes first.
bool renameFile(const std::string& from, const std::string& to, Failure& failure) {
    int error = systemCalls().renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0 ? 0 : errno;
    if (error == EINVAL || error == ENOSYS || error == ENOTSUP) {
        struct stat status {};
        error = systemCalls().fstatat(AT_FDCWD, to.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 ? EEXIST
                : systemCalls().renameat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str()) == 0 ? 0
                                                                                             : errno;
    }
    if (error != 0) {
        failure = systemFailure(error);
    }
    return error == 0;
}

void removeFile(const std::string& path) { systemCalls().unlinkat(AT_FDCWD, path.c_str(), 0); }

// Opened without following a link and without waiting on anything but a
// file (a FIFO put there would hold the open up), and used only when it is
// a plain file of the user's own: no one else can take a run's turn away.
LockHandle holdLock(const std::string& path, const std::function<void()>& waiting, Failure& failure) {
    const int fd = systemCalls().createat(AT_FDCWD, path.c_str(),
                                          O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) {
        failure = errno == ELOOP ? failureOf(FailureKind::isLink) : systemFailure(errno);
        return noLock;
    }
    struct stat status {};
    if (systemCalls().fstatat(fd, "", &status, AT_EMPTY_PATH) != 0 || !S_ISREG(status.st_mode) ||
        status.st_uid != geteuid()) {
        failure = failureOf(FailureKind::notPlainOwnFile);
        systemCalls().close(fd);
        return noLock;
    }
    bool said = false;
    while (systemCalls().flock(fd, LOCK_EX | (said ? 0 : LOCK_NB)) != 0) {
        if (errno == EWOULDBLOCK && !said) {
            waiting();
            said = true;
        } else if (errno != EINTR) {
            failure = systemFailure(errno);
            systemCalls().close(fd);
            return noLock;
        }
        // A stop while waiting ends the run before anything is renamed.
        stopIfSignalled();
    }
    return fd;
}

void releaseLock(LockHandle lock) { systemCalls().close(static_cast<int>(lock)); }

unsigned long processId() { return static_cast<unsigned long>(getpid()); }

}  // namespace tocase::journal_files
