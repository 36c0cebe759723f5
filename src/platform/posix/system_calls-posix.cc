#include "platform/posix/system_calls-posix.h"

#include <dirent.h>
#include <sys/file.h>
#include <stdio.h>
#include <unistd.h>

namespace tocase {

SystemCalls realSystemCalls() {
    return {
        [](int directoryFd, const char* name, int flags) { return ::openat(directoryFd, name, flags); },
        [](int directoryFd, const char* name, int flags, mode_t mode) { return ::openat(directoryFd, name, flags, mode); },
        ::fstatat,
        ::statx,
        ::faccessat,
        ::getdents64,
        ::lseek,
        ::close,
        ::write,
        ::poll,
        ::renameat2,
        ::renameat,
        ::read,
        ::mkdirat,
        ::unlinkat,
        ::fstatfs,
        ::flock,
    };
}

SystemCalls& systemCalls() {
    static SystemCalls calls = realSystemCalls();
    return calls;
}

}  // namespace tocase
