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

}  // namespace

SystemCalls realSystemCalls() { return {renameRelative}; }

SystemCalls& systemCalls() {
    static SystemCalls calls = realSystemCalls();
    return calls;
}

}  // namespace tocase
