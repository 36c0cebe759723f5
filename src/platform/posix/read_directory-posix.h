#ifndef TOCASE_PLATFORM_READ_DIRECTORY_POSIX_H
#define TOCASE_PLATFORM_READ_DIRECTORY_POSIX_H

#include <dirent.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tocase {

// Every entry of the directory open as `directoryFd`, "." and ".."
// included, read from its start to its end; null, with the reason, when
// that fails part-way.
// `buffersRead`, if given, is how many readings the kernel filled.
std::shared_ptr<DirectoryListing> readDirectory(int directoryFd, std::string& reason,
                                                      std::size_t* buffersRead = nullptr);

// Hands each record of the directory open as `directoryFd` to `visit`,
// from its start to its end, keeping none; false, with the reason, when
// the reading fails part-way.
bool forEachRecord(int directoryFd, const std::function<void(const dirent64&)>& visit, std::string& reason,
                   std::size_t* buffersRead = nullptr);

// The text of an errno value for a person.
std::string reasonText(int error);

}  // namespace tocase

#endif
