#ifndef TOCASE_PLATFORM_READ_DIRECTORY_POSIX_H
#define TOCASE_PLATFORM_READ_DIRECTORY_POSIX_H

#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tocase {

// Every entry of the directory open as `directoryFd`, "." and ".."
// included, read from its start to its end; null, with the reason, when
// that fails part-way.
// `buffersRead`, if given, is how many readings the kernel filled.
std::shared_ptr<const DirectoryListing> readDirectory(int directoryFd, std::string& reason,
                                                      std::size_t* buffersRead = nullptr);

// The text of an errno value for a person.
std::string reasonText(int error);

}  // namespace tocase

#endif
