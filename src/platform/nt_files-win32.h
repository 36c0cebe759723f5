#ifndef TOCASE_PLATFORM_NT_FILES_WIN32_H
#define TOCASE_PLATFORM_NT_FILES_WIN32_H

#include <windows.h>
#include <winternl.h>

#include <string>

namespace tocase {

// An entry opened relative to an open directory by its name exactly as
// stored, the entry itself even where it is a link or other reparse point.
// Null, with the status, when it cannot be opened.
HANDLE openRelative(HANDLE directory, const std::wstring& name, ACCESS_MASK access, ULONG sharing,
                    ULONG options, NTSTATUS& status);

// The full path of an open file as the system resolves it.
std::wstring finalPathOf(HANDLE handle);

// The path of the entry `name` of the directory at `directory`.
std::wstring pathWithin(const std::wstring& directory, const std::wstring& name);

// Which file a handle is open on, and its attributes.
struct FileIdentity {
    DWORD volume = 0;
    ULONGLONG index = 0;
    DWORD attributes = 0;
    bool operator==(const FileIdentity& other) const { return volume == other.volume && index == other.index; }
};
bool identify(HANDLE handle, FileIdentity& identity);

// A reason for a person.
std::string reasonText(DWORD error);
std::string reasonOfStatus(NTSTATUS status);

}  // namespace tocase

#endif
