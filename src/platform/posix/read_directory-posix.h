#ifndef TOCASE_PLATFORM_READ_DIRECTORY_POSIX_H
#define TOCASE_PLATFORM_READ_DIRECTORY_POSIX_H

#include <dirent.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tocase {

// A reading of its own of the directory open as `directoryFd`, at the
// directory's start; -1, with errno, when it cannot be opened. A
// description once read to its end is never read again: some file systems
// cannot rewind one (an sshfs directory handle gives nothing more, even
// after a seek to the start, and sshfs may keep that nothing as the
// directory's listing for a while).
int openReading(int directoryFd);

// Every entry of the directory open as `directoryFd`, "." and ".."
// included, read from its start to its end through a reading of its own;
// null, with the failure, when that fails part-way.
// `buffersRead`, if given, is how many readings the kernel filled.
std::shared_ptr<DirectoryListing> readDirectory(int directoryFd, Failure& failure,
                                                std::size_t* buffersRead = nullptr);
// The same through `directoryFd` itself, which has never been read: a
// directory just opened is read without opening it again.
std::shared_ptr<DirectoryListing> readUnreadDirectory(int directoryFd, Failure& failure,
                                                      std::size_t* buffersRead = nullptr);

// Hands each record of the directory open as `directoryFd` to `visit`,
// from its start to its end, through a reading of its own, keeping none;
// false, with the failure, when the reading fails part-way.
bool forEachRecord(int directoryFd, const std::function<void(const dirent64&)>& visit, Failure& failure,
                   std::size_t* buffersRead = nullptr);
// The same through `directoryFd` itself, which has never been read, or
// is read on from where a reading before it stopped.
bool forEachUnreadRecord(int directoryFd, const std::function<void(const dirent64&)>& visit, Failure& failure,
                         std::size_t* buffersRead = nullptr);

}  // namespace tocase

#endif
