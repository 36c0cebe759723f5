#ifndef TOCASE_PLATFORM_POSIX_CALLS_H
#define TOCASE_PLATFORM_POSIX_CALLS_H

namespace tocase {

// The system calls that change names, reached through this table so that
// tests can make any one of them fail at the right moment.
struct PosixCalls {
    int (*renameat2)(int oldDirectoryFd, const char* oldName, int newDirectoryFd,
                     const char* newName, unsigned int flags);
    int (*renameat)(int oldDirectoryFd, const char* oldName, int newDirectoryFd,
                    const char* newName);
};

PosixCalls& posixCalls();

}  // namespace tocase

#endif
