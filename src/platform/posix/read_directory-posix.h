#ifndef TOCASE_PLATFORM_READ_DIRECTORY_POSIX_H
#define TOCASE_PLATFORM_READ_DIRECTORY_POSIX_H

#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tocase {

using DirectoryListing = std::vector<FoundEntry>;

// A reading of its own of the directory open as `directoryFd`, at the
// directory's start; -1, with errno, when it cannot be opened. A
// description once read to its end is never read again: some file systems
// cannot rewind one (an sshfs directory handle gives nothing more, even
// after a seek to the start, and sshfs may keep that nothing as the
// directory's listing for a while).
int openReading(int directoryFd);

// Every entry of the directory open as `directoryFd`, "." and ".."
// included, read from its start to its end through a reading of its own;
// null, with the reason, when that fails part-way.
// `buffersRead`, if given, is how many readings the kernel filled.
std::shared_ptr<const DirectoryListing> readDirectory(int directoryFd, std::string& reason,
                                                      std::size_t* buffersRead = nullptr);

// The same through `directoryFd` itself, which has never been read: a
// directory just opened is read without opening it again.
std::shared_ptr<const DirectoryListing> readUnreadDirectory(int directoryFd, std::string& reason,
                                                            std::size_t* buffersRead = nullptr);

// The text of an errno value for a person.
std::string reasonText(int error);

}  // namespace tocase

#endif
