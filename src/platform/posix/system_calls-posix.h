#ifndef TOCASE_PLATFORM_SYSTEM_CALLS_POSIX_H
#define TOCASE_PLATFORM_SYSTEM_CALLS_POSIX_H

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/types.h>

namespace tocase {

// Every system call the POSIX platform makes on directories, names and
// output goes through this one table, so that a test can make any one of
// them fail at the moment it chooses.
struct SystemCalls {
    int (*openat)(int directoryFd, const char* name, int flags);
    int (*createat)(int directoryFd, const char* name, int flags, mode_t mode);
    int (*fstatat)(int directoryFd, const char* name, struct stat* status, int flags);
    int (*statx)(int directoryFd, const char* name, int flags, unsigned int mask, struct statx* status);
    int (*faccessat)(int directoryFd, const char* name, int mode, int flags);
    ssize_t (*getdents64)(int directoryFd, void* buffer, size_t size);
    off_t (*lseek)(int fd, off_t offset, int whence);
    int (*close)(int fd);
    ssize_t (*write)(int fd, const void* bytes, size_t size);
    int (*poll)(pollfd* fds, nfds_t count, int timeoutMilliseconds);
    int (*renameat2)(int oldDirectoryFd, const char* oldName, int newDirectoryFd, const char* newName,
                     unsigned int flags);
    int (*renameat)(int oldDirectoryFd, const char* oldName, int newDirectoryFd, const char* newName);
    ssize_t (*read)(int fd, void* bytes, size_t size);
    int (*mkdirat)(int directoryFd, const char* name, mode_t mode);
    int (*unlinkat)(int directoryFd, const char* name, int flags);
    int (*fstatfs)(int fd, struct statfs* status);
    int (*flock)(int fd, int operation);
};

SystemCalls& systemCalls();

// The system's own table, for a test to put back.
SystemCalls realSystemCalls();

}  // namespace tocase

#endif
