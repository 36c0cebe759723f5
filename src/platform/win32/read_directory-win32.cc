#include "platform/win32/read_directory-win32.h"

#include "platform/win32/nt_files-win32.h"
#include "platform/win32/text-win32.h"

namespace tocase {

bool readDirectory(HANDLE directory, DirectoryListing& entries, Failure& failure) {
    alignas(LONGLONG) static char buffer[65536];
    for (auto kind = FileIdBothDirectoryRestartInfo;; kind = FileIdBothDirectoryInfo) {
        if (!GetFileInformationByHandleEx(directory, kind, buffer, sizeof buffer)) {
            const DWORD error = GetLastError();
            if (error == ERROR_NO_MORE_FILES) {
                return true;
            }
            failure = systemFailure(error);
            return false;
        }
        for (const char* at = buffer;;) {
            const auto& record = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
            const std::wstring_view name(record.FileName, record.FileNameLength / sizeof(wchar_t));
            FoundEntry& entry = entries.add(toUtf8(name));
            entry.isDirectory = (record.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            entry.isHidden = (record.FileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
            entry.isLink = (record.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            entry.fileId = static_cast<std::uint64_t>(record.FileId.QuadPart);
            if (record.NextEntryOffset == 0) {
                break;
            }
            at += record.NextEntryOffset;
        }
    }
}

}  // namespace tocase
