#ifndef TOCASE_PLATFORM_SYSTEM_CALLS_WIN32_H
#define TOCASE_PLATFORM_SYSTEM_CALLS_WIN32_H

#include <windows.h>
#include <winternl.h>

#include <string>

namespace tocase {

// The calls that open files and change names, reached through this table
// so that tests can make them misbehave as some file systems do.
struct SystemCalls {
    // Gives the open entry `entry` the name `name` in the open `directory`
    // (none: `name` is a full path), never replacing another entry.
    NTSTATUS (*renameEntry)(HANDLE entry, HANDLE directory, const std::wstring& name);
    // Opens `name` relative to the open `directory` (none: a full path),
    // the entry itself even where it is a link; `handle` is set on success.
    NTSTATUS (*openFile)(HANDLE directory, const std::wstring& name, ACCESS_MASK access, ULONG sharing, ULONG options,
                         HANDLE& handle);
};

SystemCalls& systemCalls();

// The system's own table, for a test to put back.
SystemCalls realSystemCalls();

}  // namespace tocase

#endif
