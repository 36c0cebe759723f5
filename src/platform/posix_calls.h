#ifndef TOCASE_PLATFORM_POSIX_CALLS_H
#define TOCASE_PLATFORM_POSIX_CALLS_H

#include <dirent.h>

namespace tocase {

// The system calls that change names, and the one that reads a directory,
// reached through this table so that tests can make any one of them fail
// at the right moment.
struct PosixCalls {
    int (*renameat2)(int oldDirectoryFd, const char* oldName, int newDirectoryFd,
                     const char* newName, unsigned int flags);
    int (*renameat)(int oldDirectoryFd, const char* oldName, int newDirectoryFd,
                    const char* newName);
    dirent* (*readdir)(DIR* directory);
};

PosixCalls& posixCalls();

}  // namespace tocase

#endif
