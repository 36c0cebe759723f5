#ifndef TOCASE_PLATFORM_READ_DIRECTORY_WIN32_H
#define TOCASE_PLATFORM_READ_DIRECTORY_WIN32_H

#include <windows.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace tocase {

// Every entry of the directory open as `directory`, "." and ".." included,
// from its start to its end; false, with the failure, when that fails.
bool readDirectory(HANDLE directory, DirectoryListing& entries, Failure& failure);

}  // namespace tocase

#endif
