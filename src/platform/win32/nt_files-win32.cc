#include "platform/win32/nt_files-win32.h"

#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "platform/failure.h"
#include "platform/win32/system_calls-win32.h"
#include "platform/win32/text-win32.h"

extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE directory, HANDLE event, PIO_APC_ROUTINE routine,
                                               PVOID context, PIO_STATUS_BLOCK io, PVOID buffer, ULONG length,
                                               FILE_INFORMATION_CLASS kind, BOOLEAN singleEntry,
                                               PUNICODE_STRING mask, BOOLEAN restart);

namespace tocase {

// A handle of its own for each question, as a directory handle keeps the
// first pattern it was asked with.
bool forEachListed(HANDLE directory, const std::wstring& mask,
                        const std::function<bool(std::wstring_view, ULONGLONG, DWORD)>& found) {
    NTSTATUS status = 0;
    const HANDLE listing = openRelative(directory, L"", FILE_LIST_DIRECTORY,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        FILE_DIRECTORY_FILE, status);
    if (listing == nullptr) {
        return false;
    }
    UNICODE_STRING pattern;
    pattern.Buffer = const_cast<wchar_t*>(mask.c_str());
    pattern.Length = pattern.MaximumLength = static_cast<USHORT>(mask.size() * sizeof(wchar_t));
    std::vector<LONGLONG> buffer(4096);
    bool more = true;
    for (BOOLEAN restart = TRUE; more; restart = FALSE) {
        IO_STATUS_BLOCK io;
        status = NtQueryDirectoryFile(listing, nullptr, nullptr, nullptr, &io, buffer.data(),
                                      static_cast<ULONG>(buffer.size() * sizeof(LONGLONG)),
                                      FileIdBothDirectoryInformation, FALSE, &pattern, restart);
        if (!NT_SUCCESS(status)) {
            break;
        }
        for (const char* at = reinterpret_cast<const char*>(buffer.data()); more;) {
            const auto& record = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
            more = found(std::wstring_view(record.FileName, record.FileNameLength / sizeof(wchar_t)),
                         static_cast<ULONGLONG>(record.FileId.QuadPart), record.FileAttributes);
            if (record.NextEntryOffset == 0) {
                break;
            }
            at += record.NextEntryOffset;
        }
    }
    CloseHandle(listing);
    // Read to its end, or stopped by the caller.
    return status == statusNoMoreFiles || status == statusNoSuchFile || !more;
}

namespace {

// Where a path as the system names it begins with its parts: after the
// drive (\??\C:\) or the share (\??\UNC\server\share\); none where it is
// of another form.
std::size_t rootLength(const std::wstring& path) {
    if (path.size() >= 7 && path.starts_with(L"\\??\\") && path[5] == L':' && path[6] == L'\\') {
        return 7;
    }
    if (path.starts_with(L"\\??\\UNC\\")) {
        const std::size_t share = path.find(L'\\', 8);
        const std::size_t end = share == std::wstring::npos ? share : path.find(L'\\', share + 1);
        return end == std::wstring::npos ? 0 : end + 1;
    }
    return 0;
}

}  // namespace

// The pattern ignores case: twins of the name may come first.
std::wstring nameListedAmong(HANDLE directory, ULONGLONG index, std::initializer_list<std::wstring> names) {
    for (const std::wstring& name : names) {
        bool listed = false;
        forEachListed(directory, name, [&](std::wstring_view found, ULONGLONG id, DWORD) {
            listed = found == name && id == index;
            return !listed;
        });
        if (listed) {
            return name;
        }
    }
    return {};
}

std::wstring_view withoutTrailingDots(std::wstring_view name) {
    return name.substr(0, name.find_last_not_of(L". ") + 1);
}

bool samePathButTrailingDots(std::wstring_view shown, std::wstring_view path) {
    for (;;) {
        const std::size_t shownEnd = std::min(shown.find(L'\\'), shown.size());
        const std::size_t pathEnd = std::min(path.find(L'\\'), path.size());
        if (withoutTrailingDots(shown.substr(0, shownEnd)) != withoutTrailingDots(path.substr(0, pathEnd))) {
            return false;
        }
        if (shownEnd == shown.size() || pathEnd == path.size()) {
            return shownEnd == shown.size() && pathEnd == path.size();
        }
        shown.remove_prefix(shownEnd + 1);
        path.remove_prefix(pathEnd + 1);
    }
}

// Part by part from the root, each folder listed for the names that read
// as the part; remembered for the run, as folders share their parents.
std::vector<std::wstring> spellingsOf(const std::wstring& shown, std::size_t limit) {
    static std::unordered_map<std::wstring, std::vector<std::wstring>> known;
    const std::size_t root = rootLength(shown);
    if (root == 0) {
        return {shown};
    }
    std::vector<std::wstring> found{shown.substr(0, root)};
    for (std::size_t start = root; start < shown.size() && !found.empty();) {
        const std::size_t end = std::min(shown.find(L'\\', start), shown.size());
        const std::wstring part = shown.substr(start, end - start);
        const std::wstring prefix = shown.substr(0, end);
        start = end + 1;
        if (const auto remembered = known.find(prefix); remembered != known.end()) {
            found = remembered->second;
            continue;
        }
        std::vector<std::wstring> next;
        for (const std::wstring& directory : found) {
            NTSTATUS status = 0;
            const HANDLE opened = openRelative(nullptr, directory, FILE_LIST_DIRECTORY,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                               FILE_DIRECTORY_FILE, status);
            // A folder that cannot be listed, or lists no name that reads as
            // the part (Wine hides some, such as /dev in its root), is taken
            // at its word.
            const std::size_t before = next.size();
            const bool listed = opened != nullptr && forEachListed(opened, part + L"*", [&](std::wstring_view name, ULONGLONG, DWORD) {
                if (withoutTrailingDots(name) == part) {
                    next.push_back(pathWithin(directory, std::wstring(name)));
                }
                return next.size() <= limit;
            });
            if (opened != nullptr) {
                CloseHandle(opened);
            }
            if (!listed || next.size() == before) {
                next.push_back(pathWithin(directory, part));
            }
        }
        found = std::move(next);
        known.emplace(prefix, found);
    }
    return found;
}

namespace {

// A Unix mount point's path as /proc/self/mountinfo writes it, with
// \ooo for a space, a tab, a line end or a backslash.
std::string unescaped(std::string_view field) {
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            text += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

}  // namespace

std::string readWholeFile(const std::wstring& path) {
    std::string text;
    NTSTATUS status = 0;
    const HANDLE file = openRelative(nullptr, path, FILE_READ_DATA, anySharing, FILE_NON_DIRECTORY_FILE, status);
    if (file == nullptr) {
        return text;
    }
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    CloseHandle(file);
    return text;
}

// Wine tells a bind mount of the same file system by nothing, not even
// the volume: the mount table of the Unix process that opens every file
// for it, its server, tells it. A mount point is the entry `name` of a folder
// that is the directory `parent` itself.
bool isUnixMountPoint(const FileIdentity& parent, const std::wstring& name) {
    const std::string text = readWholeFile(L"\\??\\unix\\proc\\self\\mountinfo");
    std::string wanted = toUtf8(name);
    wanted.insert(wanted.begin(), '/');
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        // The fifth field is the mount point.
        for (int field = 0; field < 4 && !line.empty(); ++field) {
            line.remove_prefix(std::min(line.find(' '), line.size() - 1) + 1);
        }
        const std::string point = unescaped(line.substr(0, line.find(' ')));
        if (!point.ends_with(wanted)) {
            continue;
        }
        std::wstring folder = L"\\??\\unix" + fromUtf8(point.substr(0, point.size() - wanted.size())) + L"\\";
        std::replace(folder.begin(), folder.end(), L'/', L'\\');
        NTSTATUS status = 0;
        const HANDLE opened = openRelative(nullptr, folder, FILE_READ_ATTRIBUTES, anySharing, FILE_DIRECTORY_FILE, status);
        FileIdentity identity;
        const bool there = opened != nullptr && identify(opened, identity) && identity == parent;
        if (opened != nullptr) {
            CloseHandle(opened);
        }
        if (there) {
            return true;
        }
    }
    return false;
}

bool isMountedVolume(HANDLE directory) {
    FILE_ATTRIBUTE_TAG_INFO tag;
    if (!GetFileInformationByHandleEx(directory, FileAttributeTagInfo, &tag, sizeof tag) ||
        (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 || tag.ReparseTag != IO_REPARSE_TAG_MOUNT_POINT) {
        return false;
    }
    // A junction carries the same tag; a mounted volume's target is a volume.
    // Its data: the tag, two lengths, then the substitute name's offset and
    // length, and the names from byte 16.
    std::vector<char> data(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
    DWORD size = 0;
    if (!DeviceIoControl(directory, FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(), static_cast<DWORD>(data.size()),
                         &size, nullptr)) {
        return true;
    }
    USHORT offset = 0;
    USHORT length = 0;
    std::memcpy(&offset, data.data() + 8, sizeof offset);
    std::memcpy(&length, data.data() + 10, sizeof length);
    if (size < 16u + offset + length) {
        return false;
    }
    std::wstring target(length / sizeof(wchar_t), L'\0');
    std::memcpy(target.data(), data.data() + 16 + offset, length);
    return target.starts_with(L"\\??\\Volume{");
}

std::wstring unixFormOf(const std::wstring& path) {
    using UnixFileName = char*(CDECL*)(const WCHAR*);
    const auto unixFileName = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* mapped = unixFileName != nullptr ? unixFileName(path.c_str()) : nullptr;
    std::wstring form = mapped != nullptr && mapped[0] == '/' ? L"\\??\\unix" + fromUtf8(mapped) : L"";
    HeapFree(GetProcessHeap(), 0, mapped);
    std::replace(form.begin(), form.end(), L'/', L'\\');
    return form;
}

bool isWine() {
    static const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

HANDLE openRelative(HANDLE directory, const std::wstring& name, ACCESS_MASK access, ULONG sharing,
                    ULONG options, NTSTATUS& status) {
    HANDLE handle = nullptr;
    status = systemCalls().openFile(directory, name, access, sharing, options, handle);
    return NT_SUCCESS(status) ? handle : nullptr;
}

// The object's name, rather than GetFinalPathNameByHandleW, which some
// systems cannot give beyond MAX_PATH.
std::wstring finalPathOf(HANDLE handle) {
    std::vector<char> buffer(1024);
    for (;;) {
        ULONG needed = 0;
        const NTSTATUS status = NtQueryObject(handle, ObjectNameInformation, buffer.data(),
                                              static_cast<ULONG>(buffer.size()), &needed);
        if (NT_SUCCESS(status)) {
            const auto& name = *reinterpret_cast<const UNICODE_STRING*>(buffer.data());
            return std::wstring(name.Buffer, name.Length / sizeof(wchar_t));
        }
        if (needed <= buffer.size()) {
            return {};
        }
        buffer.resize(needed);
    }
}

std::wstring pathWithin(const std::wstring& directory, const std::wstring& name) {
    return directory.ends_with(L'\\') ? directory + name : directory + L"\\" + name;
}

Failure whyPathMisleads(const std::wstring& path, const FileIdentity& identity) {
    NTSTATUS status = 0;
    const HANDLE found = openRelative(nullptr, path, FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0, status);
    if (found == nullptr) {
        // Wine finds a name it cannot follow, in the instant a folder and a
        // link change places, as no such file, or as an invalid handle.
        const bool gone = status == statusObjectNameNotFound || status == statusObjectPathNotFound ||
                          status == statusNoSuchFile || (isWine() && status == statusInvalidHandle);
        return gone ? failureOf(FailureKind::movedElsewhere) : failureOfStatus(status);
    }
    FileIdentity foundIdentity;
    const bool same = identify(found, foundIdentity) && foundIdentity == identity;
    CloseHandle(found);
    return same ? Failure() : failureOf(FailureKind::movedElsewhere);
}

bool identify(HANDLE handle, FileIdentity& identity) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information)) {
        return false;
    }
    identity.volume = information.dwVolumeSerialNumber;
    identity.index = (ULONGLONG{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
    identity.attributes = information.dwFileAttributes;
    return true;
}

// In UTF-8, as every text the tool prints.
std::string systemErrorText(long code) {
    const auto error = static_cast<DWORD>(code);
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string words = length > 0 ? toUtf8(std::wstring_view(text, length)) : "error " + std::to_string(error);
    LocalFree(text);
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == '.' ||
                              words.back() == ' ')) {
        words.pop_back();
    }
    return words;
}

Failure failureOfStatus(NTSTATUS status) { return systemFailure(static_cast<long>(RtlNtStatusToDosError(status))); }

}  // namespace tocase
