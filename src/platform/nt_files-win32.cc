#include "platform/nt_files-win32.h"

#include <vector>

#include "platform/reasons.h"
#include "platform/text-win32.h"

namespace tocase {

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
    constexpr NTSTATUS nameNotFound = static_cast<NTSTATUS>(0xC0000034L);
    constexpr NTSTATUS pathNotFound = static_cast<NTSTATUS>(0xC000003AL);
    NTSTATUS status = 0;
    const HANDLE found = openRelative(nullptr, path, FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0, status);
    if (found == nullptr) {
        return status == nameNotFound || status == pathNotFound ? std::string(movedElsewhereReason)
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
