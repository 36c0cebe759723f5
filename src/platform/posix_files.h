#ifndef TOCASE_PLATFORM_POSIX_FILES_H
#define TOCASE_PLATFORM_POSIX_FILES_H

#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace tocase {

// The path to open for a directory prefix: backslashes separate too, and the
// empty prefix is the current directory.
std::string posixDirectoryPath(std::string_view directoryPrefix);

// Reads the whole directory at once, so renames made while the entries are
// handed out can neither skip nor repeat one.
std::unique_ptr<DirectorySearch> startPosixSearch(const std::string& directoryPath,
                                                  std::string_view namePattern);

// Renames inside the directory open as `directoryFd`, never replacing
// another entry; see the definition for the case-folding file systems.
bool renameInDirectory(int directoryFd, const std::string& oldName, const std::string& newName);

}  // namespace tocase

#endif
