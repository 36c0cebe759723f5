#ifndef TOCASE_PLATFORM_NT_FILES_WIN32_H
#define TOCASE_PLATFORM_NT_FILES_WIN32_H

#include <windows.h>
#include <winternl.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/failure.h"

namespace tocase {

// The statuses the tool tells apart, each named once.
inline constexpr NTSTATUS statusNoMoreFiles = static_cast<NTSTATUS>(0x80000006L);
inline constexpr NTSTATUS statusInvalidHandle = static_cast<NTSTATUS>(0xC0000008L);
inline constexpr NTSTATUS statusNoSuchFile = static_cast<NTSTATUS>(0xC000000FL);
inline constexpr NTSTATUS statusNoMemory = static_cast<NTSTATUS>(0xC0000017L);
inline constexpr NTSTATUS statusObjectTypeMismatch = static_cast<NTSTATUS>(0xC0000024L);
inline constexpr NTSTATUS statusObjectNameInvalid = static_cast<NTSTATUS>(0xC0000033L);
inline constexpr NTSTATUS statusObjectNameNotFound = static_cast<NTSTATUS>(0xC0000034L);
inline constexpr NTSTATUS statusObjectNameCollision = static_cast<NTSTATUS>(0xC0000035L);
inline constexpr NTSTATUS statusObjectPathNotFound = static_cast<NTSTATUS>(0xC000003AL);
inline constexpr NTSTATUS statusFileLockConflict = static_cast<NTSTATUS>(0xC0000054L);
inline constexpr NTSTATUS statusNameTooLong = static_cast<NTSTATUS>(0xC0000106L);

// Every other program may read, change and move what is opened with it.
inline constexpr ULONG anySharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Which file a handle is open on, and its attributes.
struct FileIdentity {
    DWORD volume = 0;
    ULONGLONG index = 0;
    DWORD attributes = 0;
    bool operator==(const FileIdentity& other) const { return volume == other.volume && index == other.index; }
};
bool identify(HANDLE handle, FileIdentity& identity);

// An entry opened relative to an open directory by its name exactly as
// stored, the entry itself even where it is a link or other reparse point.
// Null, with the status, when it cannot be opened.
HANDLE openRelative(HANDLE directory, const std::wstring& name, ACCESS_MASK access, ULONG sharing,
                    ULONG options, NTSTATUS& status);

// Calls `found(name, fileId, attributes)` for each entry of the open
// directory whose name matches `mask` (wildcards `*` and `?`, without regard
// to case), until it returns false; false when the directory cannot be read.
bool forEachListed(HANDLE directory, const std::wstring& mask,
                   const std::function<bool(std::wstring_view, ULONGLONG, DWORD)>& found);

// Which of `names` the open directory lists the file `index` under, asked
// of the directory's own handle: Wine looks that up in the directory
// itself, where it resolves any path by name at that instant. Empty where
// it is listed under none of them.
std::wstring nameListedAmong(HANDLE directory, ULONGLONG index, std::initializer_list<std::wstring> names);

// The full path of an open file as the system resolves it.
std::wstring finalPathOf(HANDLE handle);

// The path of the entry `name` of the directory at `directory`.
std::wstring pathWithin(const std::wstring& directory, const std::wstring& name);

// The system's own name for a handle drops the trailing dots and spaces of
// each part of the path (Wine does); these compare names and paths as it
// leaves them.
std::wstring_view withoutTrailingDots(std::wstring_view name);
bool samePathButTrailingDots(std::wstring_view shown, std::wstring_view path);

// Every existing path that `shown`, a path as the system names a handle,
// may stand for: those that read as it once the trailing dots and spaces of
// their parts are dropped. More than `limit` are not looked for.
std::vector<std::wstring> spellingsOf(const std::wstring& shown, std::size_t limit);

// Whether the open directory is where another volume is mounted: Windows
// marks such a folder as a reparse point whose target is a volume, Wine
// one on another device as a mount point with nothing behind it.
bool isMountedVolume(HANDLE directory);

// A file's whole text, read by its full path; empty where it cannot be read.
std::string readWholeFile(const std::wstring& path);

// Whether Wine's Unix has anything mounted on the entry `name` of the
// directory whose identity is `parent`.
bool isUnixMountPoint(const FileIdentity& parent, const std::wstring& name);

// Whether the tool runs under Wine, which carries out renames by path and
// follows links where asked not to.
bool isWine();

// Why `path`, looked up now, does not lead to the file of `identity`
// itself: no failure where it does.
Failure whyPathMisleads(const std::wstring& path, const FileIdentity& identity);

// A name the system would read as a path: Wine hands out Unix names that
// hold a backslash as they are.
inline bool holdsSeparator(const std::wstring& name) { return name.find_first_of(L"\\/") != std::wstring::npos; }

// A name the system could not read whole: Wine hands out a Unix name that
// is not UTF-8 with U+FFFD in its place, and that name leads nowhere, or to
// another entry that reads the same.
inline bool holdsReplacement(const std::wstring& name) { return name.find(L'\xFFFD') != std::wstring::npos; }

// Under Wine, the Unix form (\??\unix\...) of a path of the system's own
// form, which Wine looks up exactly, never in another spelling; empty
// where there is none.
std::wstring unixFormOf(const std::wstring& path);

// A status of the native calls, as the error code it stands for.
Failure failureOfStatus(NTSTATUS status);

}  // namespace tocase

#endif
