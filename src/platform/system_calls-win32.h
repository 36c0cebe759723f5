#ifndef TOCASE_PLATFORM_SYSTEM_CALLS_WIN32_H
#define TOCASE_PLATFORM_SYSTEM_CALLS_WIN32_H

#include <windows.h>

namespace tocase {

// The call that changes names, reached through this table so that tests
// can make it misbehave as some file systems do.
struct SystemCalls {
    BOOL(WINAPI* moveFile)(LPCWSTR existingName, LPCWSTR newName);
};

SystemCalls& systemCalls();

// The system's own table, for a test to put back.
SystemCalls realSystemCalls();

}  // namespace tocase

#endif
