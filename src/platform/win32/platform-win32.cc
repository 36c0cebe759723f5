#include <windows.h>

#include <shellapi.h>

#include <charconv>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/directory_handles-win32.h"
#include "platform/win32/nt_files-win32.h"
#include "platform/win32/read_directory-win32.h"
#include "platform/win32/rename-win32.h"
#include "platform/win32/stop_request-win32.h"
#include "platform/win32/text-win32.h"

namespace tocase {
namespace {

// The full path in the form that lifts the length limit: \\?\C:\... or
// \\?\UNC\server\share\...; a device path \\.\ is taken as \\?\.
std::optional<std::wstring> longPathOf(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    const DWORD length = size == 0 ? 0 : GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) {
        return std::nullopt;
    }
    full.resize(length);
    if (full.starts_with(L"\\\\?\\")) {
        return full;
    }
    if (full.starts_with(L"\\\\.\\")) {
        return L"\\\\?\\" + full.substr(4);
    }
    if (full.starts_with(L"\\\\")) {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    return L"\\\\?\\" + full;
}

}  // namespace

struct Platform::State {
    PlatformFacts facts;
    DirectoryHandles directories;
    std::optional<RenameDirectory> renamer;

    RenameDirectory& currentRenamer() {
        if (!renamer) {
            renamer.emplace(directories.current(), directories.currentPath());
        }
        return *renamer;
    }
};

Platform::Platform() : state_(std::make_unique<State>()) {
    state_->facts.hasDriveLetters = true;
    state_->facts.nameSeparators = "/\\";
    state_->facts.namesAreUtf16 = true;
    installStopHandler();
}

Platform::~Platform() = default;

const PlatformFacts& Platform::facts() const { return state_->facts; }

// The arguments are read wide, exactly as typed.
std::vector<std::string> Platform::commandLine(int, char**) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(toUtf8(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

bool Platform::openDirectory(std::string_view directoryPrefix, std::string& reason) {
    state_->renamer.reset();
    const std::optional<std::wstring> path = longPathOf(directoryPrefix.empty() ? L"." : fromUtf8(directoryPrefix));
    if (!path) {
        reason = reasonText(GetLastError());
        return false;
    }
    return state_->directories.openFirst(*path, reason);
}

EnterResult Platform::openSubdirectory(const FoundEntry& entry, std::string& reason) {
    state_->renamer.reset();
    return state_->directories.openChild(fromUtf8(entry.name), entry.fileId, reason);
}

EnterResult Platform::openSubdirectoryByName(const std::string& name, std::string& reason) {
    state_->renamer.reset();
    return state_->directories.openChild(fromUtf8(name), std::nullopt, reason);
}

bool Platform::closeDirectory(std::string&) {
    state_->renamer.reset();
    state_->directories.closeCurrent();
    return true;
}

bool Platform::currentIsStillInItsParent(std::string& reason) {
    return state_->directories.currentIsStillInItsParent(reason);
}

std::shared_ptr<const DirectoryListing> Platform::listDirectory(std::string& reason) {
    auto entries = std::make_shared<DirectoryListing>();
    if (!readDirectory(state_->directories.current(), *entries, reason)) {
        return nullptr;
    }
    return entries;
}

// Each entry is opened itself, and confirmed by its file ID, as it is renamed.
void Platform::announceRenames(const std::vector<const FoundEntry*>&) {}

RenameResult Platform::renameEntry(const FoundEntry& entry, const std::string& newName,
                                   const TemporaryNameNotice& notice) {
    return state_->currentRenamer().rename(entry, fromUtf8(newName), notice);
}

RenameResult Platform::previewRename(const FoundEntry& entry, const std::string& newName) {
    return state_->currentRenamer().preview(entry, fromUtf8(newName));
}

namespace {

std::string identityText(const FileIdentity& identity) {
    return std::to_string(identity.volume) + ":" + std::to_string(identity.index);
}

}  // namespace

std::string Platform::workingDirectoryPath() {
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::wstring path(size, L'\0');
    path.resize(GetCurrentDirectoryW(size, path.data()));
    return toUtf8(path);
}

std::string Platform::workingDirectoryIdentity() {
    const HANDLE here = CreateFileW(L".", FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    FileIdentity identity;
    const bool known = here != INVALID_HANDLE_VALUE && identify(here, identity);
    if (here != INVALID_HANDLE_VALUE) {
        CloseHandle(here);
    }
    return known ? identityText(identity) : std::string();
}

std::string Platform::currentDirectoryIdentity() {
    FileIdentity identity;
    return identify(state_->directories.current(), identity) ? identityText(identity) : std::string();
}

std::string Platform::entryIdentity(const FoundEntry& entry) { return std::to_string(entry.fileId); }

bool Platform::identitiesAreUnique() { return true; }

namespace {

ULONGLONG ticksOf(const FILETIME& time) { return ULONGLONG{time.dwHighDateTime} << 32 | time.dwLowDateTime; }

}  // namespace

// A file's making is stamped with the system time, which moves on a tick
// at a time (about 16 ms) and so lags the precise time; under Wine with
// the Unix file system's clock, which lags it too, where this wait cannot
// see it: the start is taken a tick early.
std::string Platform::runStartTime() {
    constexpr ULONGLONG tick = 160000;  // in 100 ns
    FILETIME began;
    GetSystemTimePreciseAsFileTime(&began);
    for (FILETIME coarse;; Sleep(1)) {
        GetSystemTimeAsFileTime(&coarse);
        if (ticksOf(coarse) >= ticksOf(began)) {
            break;
        }
    }
    return std::to_string(ticksOf(began) - tick);
}

namespace {

// A file made at or after the time a journal recorded as its run's start:
// then its number was given anew, to another file (as Wine's file IDs, the
// Unix inode numbers, may be). Not a folder: Wine moves a folder's time of
// making on as its entries change.
bool madeAfter(HANDLE file, std::string_view since) {
    BY_HANDLE_FILE_INFORMATION information;
    ULONGLONG recorded = 0;
    std::from_chars(since.data(), since.data() + since.size(), recorded);
    return GetFileInformationByHandle(file, &information) &&
           (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
           ticksOf(information.ftCreationTime) >= recorded;
}

bool openedAndMadeAfter(HANDLE directory, const std::wstring& name, std::string_view since) {
    NTSTATUS status = 0;
    const HANDLE file = openRelative(directory, name, FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0, status);
    const bool after = file != nullptr && madeAfter(file, since);
    if (file != nullptr) {
        CloseHandle(file);
    }
    return after;
}

}  // namespace

bool Platform::isWorkingDirectoryAsRecorded(std::string_view identity, std::string_view) {
    return workingDirectoryIdentity() == identity;
}

bool Platform::isCurrentDirectoryAsRecorded(std::string_view identity, std::string_view) {
    return currentDirectoryIdentity() == identity;
}

bool Platform::isEntryAsRecorded(const FoundEntry& entry, std::string_view identity, std::string_view since) {
    return entryIdentity(entry) == identity &&
           !openedAndMadeAfter(state_->directories.current(), fromUtf8(entry.name), since);
}

void Platform::stopIfAsked() { stopIfRequested(); }

}  // namespace tocase
