#ifndef TOCASE_PLATFORM_SYSTEM_CALLS_WIN32_H
#define TOCASE_PLATFORM_SYSTEM_CALLS_WIN32_H

#include <windows.h>
#include <winternl.h>

#include <string>

namespace tocase {

// The call that changes names, reached through this table so that tests
// can make it misbehave as some file systems do.
struct SystemCalls {
    // Gives the open entry `entry` the name `name` in the open `directory`,
    // never replacing another entry.
    NTSTATUS (*renameEntry)(HANDLE entry, HANDLE directory, const std::wstring& name);
};

SystemCalls& systemCalls();

// The system's own table, for a test to put back.
SystemCalls realSystemCalls();

}  // namespace tocase

#endif
