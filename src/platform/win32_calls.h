#ifndef TOCASE_PLATFORM_WIN32_CALLS_H
#define TOCASE_PLATFORM_WIN32_CALLS_H

#include <windows.h>

namespace tocase {

// The call that changes names, reached through this table so that tests
// can make it misbehave as some file systems do.
struct Win32Calls {
    BOOL(WINAPI* moveFile)(LPCWSTR existingName, LPCWSTR newName);
};

Win32Calls& win32Calls();

}  // namespace tocase

#endif
