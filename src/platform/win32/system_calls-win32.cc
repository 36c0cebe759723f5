#include "platform/win32/system_calls-win32.h"

#include <cstring>
#include <vector>

namespace tocase {
namespace {

NTSTATUS renameRelative(HANDLE entry, HANDLE directory, const std::wstring& name) {
    const ULONG nameBytes = static_cast<ULONG>(name.size() * sizeof(wchar_t));
    std::vector<char> buffer(sizeof(FILE_RENAME_INFORMATION) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFORMATION*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = directory;
    rename->FileNameLength = nameBytes;
    std::memcpy(rename->FileName, name.data(), nameBytes);
    IO_STATUS_BLOCK status;
    return NtSetInformationFile(entry, &status, rename, static_cast<ULONG>(buffer.size()), FileRenameInformation);
}

NTSTATUS openRelativeFile(HANDLE directory, const std::wstring& name, ACCESS_MASK access, ULONG sharing, ULONG options,
                          HANDLE& handle) {
    UNICODE_STRING objectName;
    objectName.Buffer = const_cast<wchar_t*>(name.c_str());
    objectName.Length = objectName.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &objectName, 0, directory, nullptr);
    IO_STATUS_BLOCK io;
    handle = nullptr;
    return NtCreateFile(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr, 0, sharing, FILE_OPEN,
                        options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT,
                        nullptr, 0);
}

}  // namespace

SystemCalls realSystemCalls() { return {renameRelative, openRelativeFile}; }

SystemCalls& systemCalls() {
    static SystemCalls calls = realSystemCalls();
    return calls;
}

}  // namespace tocase
