#include <windows.h>

#include <algorithm>
#include <cwchar>

#include "platform/journal_files.h"
#include "platform/win32/nt_files-win32.h"
#include "platform/win32/text-win32.h"

namespace tocase {
namespace {

constexpr std::size_t kept = 20;
constexpr std::string_view takenBackSuffix = ".taken-back";

// Names sort as the runs began: the time of day in UTC, to the 100 ns.
std::string newJournalName() {
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    SYSTEMTIME parts;
    FileTimeToSystemTime(&now, &parts);
    const ULONGLONG ticks = (ULONGLONG{now.dwHighDateTime} << 32 | now.dwLowDateTime) % 10000000;
    char name[96];
    std::snprintf(name, sizeof name, "run-%04u%02u%02u-%02u%02u%02u.%07llu-%lu.journal", parts.wYear, parts.wMonth,
                  parts.wDay, parts.wHour, parts.wMinute, parts.wSecond, ticks, GetCurrentProcessId());
    return name;
}

// The folder is the user's own by where it is; each journal is opened, a
// directory's lines at a time, and closed again.
HANDLE openJournal(const std::string& path, DWORD access, DWORD disposition) {
    return CreateFileW(fromUtf8(path).c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                       FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

}  // namespace

bool JournalFiles::findDirectory(bool create, std::string& reason) {
    const DWORD size = GetEnvironmentVariableW(L"LOCALAPPDATA", nullptr, 0);
    std::wstring base(size, L'\0');
    if (size == 0 || GetEnvironmentVariableW(L"LOCALAPPDATA", base.data(), size) != size - 1) {
        reason = "there is no local application data folder to keep it in";
        return false;
    }
    base.resize(size - 1);
    directory_ = toUtf8(pathWithin(base, L"tocase"));
    if (create && !CreateDirectoryW(fromUtf8(directory_).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        reason = reasonText(GetLastError());
        return false;
    }
    return true;
}

std::string JournalFiles::pathOf(std::string_view name) const { return directory_ + "\\" + std::string(name); }

std::vector<std::string> JournalFiles::names(bool takenBackToo) {
    std::vector<std::string> found;
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW(fromUtf8(pathOf("run-*")).c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        return found;
    }
    do {
        const std::string name = toUtf8(data.cFileName);
        if ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
            (name.ends_with(".journal") || (takenBackToo && name.ends_with(takenBackSuffix)))) {
            found.push_back(name);
        }
    } while (FindNextFileW(search, &data));
    FindClose(search);
    std::sort(found.begin(), found.end(), std::greater<>());
    return found;
}

bool JournalFiles::create(std::string& reason) {
    if (!findDirectory(true, reason)) {
        return false;
    }
    journal_ = pathOf(newJournalName());
    const HANDLE file = openJournal(journal_, GENERIC_WRITE, CREATE_NEW);
    if (file == INVALID_HANDLE_VALUE) {
        reason = reasonText(GetLastError());
        return false;
    }
    CloseHandle(file);
    const std::vector<std::string> all = names(true);
    for (std::size_t i = kept; i < all.size(); ++i) {
        DeleteFileW(fromUtf8(pathOf(all[i])).c_str());
    }
    return true;
}

bool JournalFiles::append(std::string_view text, std::string& reason) {
    const HANDLE file = openJournal(journal_, FILE_APPEND_DATA, OPEN_EXISTING);
    bool written = file != INVALID_HANDLE_VALUE;
    while (written && !text.empty()) {
        DWORD count = 0;
        written = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &count, nullptr) && count > 0;
        text.remove_prefix(count);
    }
    if (!written) {
        reason = reasonText(GetLastError());
    }
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    return written;
}

std::vector<std::string> JournalFiles::untakenBack(std::string& reason) {
    return findDirectory(false, reason) ? names(false) : std::vector<std::string>();
}

bool JournalFiles::read(const std::string& name, std::string& text, std::string& reason) {
    const HANDLE file = openJournal(pathOf(name), GENERIC_READ, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
        reason = reasonText(GetLastError());
        return false;
    }
    text.clear();
    char buffer[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0) {
        text.append(buffer, got);
    }
    if (!ok) {
        reason = reasonText(GetLastError());
    }
    CloseHandle(file);
    return ok;
}

bool JournalFiles::markTakenBack(const std::string& name, std::string& reason) {
    const std::wstring path = fromUtf8(pathOf(name));
    if (!MoveFileW(path.c_str(), (path + L".taken-back").c_str())) {
        reason = reasonText(GetLastError());
        return false;
    }
    return true;
}

}  // namespace tocase
