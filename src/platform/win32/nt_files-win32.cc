#include "platform/win32/nt_files-win32.h"

#include <vector>

#include "platform/reasons.h"
#include "platform/win32/text-win32.h"

extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE directory, HANDLE event, PIO_APC_ROUTINE routine,
                                               PVOID context, PIO_STATUS_BLOCK io, PVOID buffer, ULONG length,
                                               FILE_INFORMATION_CLASS kind, BOOLEAN singleEntry,
                                               PUNICODE_STRING mask, BOOLEAN restart);

namespace tocase {
namespace {

// A handle of its own for each question, as a directory handle keeps the
// first pattern it was asked with.
bool listsUnder(HANDLE directory, const std::wstring& name, ULONGLONG index) {
    NTSTATUS status = 0;
    const HANDLE listing = openRelative(directory, L"", FILE_LIST_DIRECTORY,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        FILE_DIRECTORY_FILE, status);
    if (listing == nullptr) {
        return false;
    }
    UNICODE_STRING mask;
    mask.Buffer = const_cast<wchar_t*>(name.c_str());
    mask.Length = mask.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    std::vector<LONGLONG> buffer(4096);
    bool listed = false;
    // The pattern ignores case: twins of the name may come first.
    for (BOOLEAN restart = TRUE; !listed; restart = FALSE) {
        IO_STATUS_BLOCK io;
        status = NtQueryDirectoryFile(listing, nullptr, nullptr, nullptr, &io, buffer.data(),
                                      static_cast<ULONG>(buffer.size() * sizeof(LONGLONG)),
                                      FileIdBothDirectoryInformation, FALSE, &mask, restart);
        if (!NT_SUCCESS(status)) {
            break;
        }
        for (const char* at = reinterpret_cast<const char*>(buffer.data());;) {
            const auto& record = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
            const std::wstring_view found(record.FileName, record.FileNameLength / sizeof(wchar_t));
            listed = listed || (found == name && static_cast<ULONGLONG>(record.FileId.QuadPart) == index);
            if (record.NextEntryOffset == 0) {
                break;
            }
            at += record.NextEntryOffset;
        }
    }
    CloseHandle(listing);
    return listed;
}

}  // namespace

std::wstring nameListedAmong(HANDLE directory, ULONGLONG index, std::initializer_list<std::wstring> names) {
    for (const std::wstring& name : names) {
        if (listsUnder(directory, name, index)) {
            return name;
        }
    }
    return {};
}

HANDLE openRelative(HANDLE directory, const std::wstring& name, ACCESS_MASK access, ULONG sharing,
                    ULONG options, NTSTATUS& status) {
    UNICODE_STRING objectName;
    objectName.Buffer = const_cast<wchar_t*>(name.c_str());
    objectName.Length = objectName.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &objectName, 0, directory, nullptr);
    IO_STATUS_BLOCK io;
    HANDLE handle = nullptr;
    status = NtCreateFile(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr, 0, sharing, FILE_OPEN,
                          options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT,
                          nullptr, 0);
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

std::string whyPathMisleads(const std::wstring& path, const FileIdentity& identity) {
    NTSTATUS status = 0;
    const HANDLE found = openRelative(nullptr, path, FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0, status);
    if (found == nullptr) {
        return status == statusObjectNameNotFound || status == statusObjectPathNotFound ? std::string(movedElsewhereReason)
                                                                : reasonOfStatus(status);
    }
    FileIdentity foundIdentity;
    const bool same = identify(found, foundIdentity) && foundIdentity == identity;
    CloseHandle(found);
    return same ? std::string() : std::string(movedElsewhereReason);
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
std::string reasonText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = length > 0 ? toUtf8(std::wstring_view(text, length)) : "error " + std::to_string(error);
    LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.' ||
                               reason.back() == ' ')) {
        reason.pop_back();
    }
    return reason;
}

std::string reasonOfStatus(NTSTATUS status) { return reasonText(RtlNtStatusToDosError(status)); }

}  // namespace tocase
