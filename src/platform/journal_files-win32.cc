#include "platform/journal_files-win32.h"

#include <algorithm>
#include <cwchar>

#include "platform/nt_files-win32.h"
#include "platform/text-win32.h"

namespace tocase {
namespace {

constexpr std::size_t kept = 20;
constexpr std::wstring_view takenBackSuffix = L".taken-back";

// Names sort as the runs began: the time of day in UTC, to the 100 ns.
std::wstring newJournalName() {
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    SYSTEMTIME parts;
    FileTimeToSystemTime(&now, &parts);
    const ULONGLONG ticks = (ULONGLONG{now.dwHighDateTime} << 32 | now.dwLowDateTime) % 10000000;
    wchar_t name[96];
    std::swprintf(name, 96, L"run-%04u%02u%02u-%02u%02u%02u.%07llu-%lu.journal", parts.wYear, parts.wMonth,
                  parts.wDay, parts.wHour, parts.wMinute, parts.wSecond, ticks, GetCurrentProcessId());
    return name;
}

}  // namespace

JournalFiles::~JournalFiles() {
    if (journal_ != INVALID_HANDLE_VALUE) {
        CloseHandle(journal_);
    }
}

bool JournalFiles::findDirectory(bool create, std::string& reason) {
    if (!directory_.empty()) {
        return true;
    }
    const DWORD size = GetEnvironmentVariableW(L"LOCALAPPDATA", nullptr, 0);
    std::wstring base(size, L'\0');
    if (size == 0 || GetEnvironmentVariableW(L"LOCALAPPDATA", base.data(), size) != size - 1) {
        reason = "there is no local application data folder to keep it in";
        return false;
    }
    base.resize(size - 1);
    const std::wstring directory = pathWithin(base, L"tocase");
    if (create && !CreateDirectoryW(directory.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        reason = reasonText(GetLastError());
        return false;
    }
    directory_ = directory;
    return true;
}

std::vector<std::wstring> JournalFiles::names(const wchar_t* pattern) {
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW(pathWithin(directory_, pattern).c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        return found;
    }
    do {
        if ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0) {
            found.push_back(data.cFileName);
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
    journal_ = CreateFileW(pathWithin(directory_, newJournalName()).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (journal_ == INVALID_HANDLE_VALUE) {
        reason = reasonText(GetLastError());
        return false;
    }
    const std::vector<std::wstring> all = names(L"run-*");
    for (std::size_t i = kept; i < all.size(); ++i) {
        DeleteFileW(pathWithin(directory_, all[i]).c_str());
    }
    return true;
}

bool JournalFiles::append(std::string_view text, std::string& reason) {
    while (!text.empty()) {
        DWORD written = 0;
        if (!WriteFile(journal_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) || written == 0) {
            reason = reasonText(GetLastError());
            return false;
        }
        text.remove_prefix(written);
    }
    return true;
}

std::vector<std::string> JournalFiles::untakenBack(std::string& reason) {
    std::vector<std::string> found;
    if (findDirectory(false, reason)) {
        for (const std::wstring& name : names(L"run-*.journal")) {
            found.push_back(toUtf8(name));
        }
    }
    return found;
}

bool JournalFiles::read(const std::string& name, std::string& text, std::string& reason) {
    const HANDLE file = CreateFileW(pathWithin(directory_, fromUtf8(name)).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
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
    const std::wstring path = pathWithin(directory_, fromUtf8(name));
    if (!MoveFileW(path.c_str(), (path + std::wstring(takenBackSuffix)).c_str())) {
        reason = reasonText(GetLastError());
        return false;
    }
    return true;
}

}  // namespace tocase
