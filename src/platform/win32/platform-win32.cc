#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/directory_handles-win32.h"
#include "platform/win32/nt_files-win32.h"
#include "platform/win32/read_directory-win32.h"
#include "platform/win32/rename-win32.h"
#include "platform/win32/start_folder-win32.h"
#include "platform/win32/stop_request-win32.h"
#include "platform/win32/text-win32.h"

namespace tocase {
namespace {

// Held in each part of a path that ends in a dot or a space while the
// system makes the path full, which would drop them: a character no name
// typed holds.
constexpr wchar_t keepsTrailing = L'\xFFFF';

std::optional<std::wstring> systemFullPath(const std::wstring& path) {
    std::wstring kept;
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find_first_of(L"\\/", start), path.size());
        const std::wstring_view part(path.data() + start, end - start);
        kept.append(part);
        if (!part.empty() && part != L"." && part != L".." && (part.back() == L'.' || part.back() == L' ')) {
            kept += keepsTrailing;
        }
        if (end < path.size()) {
            kept += path[end];
        }
        start = end + 1;
    }
    const DWORD size = GetFullPathNameW(kept.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    const DWORD length = size == 0 ? 0 : GetFullPathNameW(kept.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) {
        return std::nullopt;
    }
    full.resize(length);
    std::erase(full, keepsTrailing);
    return full;
}

// The folder the tool runs in. The system names it with the trailing dots
// and spaces of its parts dropped (Wine, when it starts a program in a
// folder so named): where more than one folder reads so, it is unknown.
std::optional<std::wstring> currentFolder(Failure& failure) {
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::wstring path(size, L'\0');
    path.resize(GetCurrentDirectoryW(size, path.data()));
    if (path.size() > 3 && path.back() == L'\\') {
        path.pop_back();
    }
    const std::vector<std::wstring> spellings = spellingsOf(L"\\??\\" + path, 2);
    if (spellings.size() > 1) {
        failure = failureOf(FailureKind::folderReadsAlike);
        return std::nullopt;
    }
    return spellings.empty() ? path : spellings.front().substr(4);
}

// The directory typed, in the system's own form (\??\...), which lifts the
// length limit and takes every name exactly as typed: \\?\ as it is, any
// other path made full as the system does, but keeping the trailing dots
// and spaces of its parts, which the system would drop.
std::optional<std::wstring> typedPathOf(std::wstring typed, Failure& failure) {
    if (typed.starts_with(L"\\\\?\\")) {
        return L"\\??\\" + typed.substr(4);
    }
    if (typed.find(keepsTrailing) != std::wstring::npos) {
        failure = systemFailure(ERROR_INVALID_NAME);
        return std::nullopt;
    }
    std::replace(typed.begin(), typed.end(), L'/', L'\\');
    const bool relative = !typed.starts_with(L'\\') && !(typed.size() >= 2 && typed[1] == L':');
    if (relative) {
        const std::optional<std::wstring> here = currentFolder(failure);
        if (!here) {
            return std::nullopt;
        }
        typed = pathWithin(*here, typed);
    }
    std::optional<std::wstring> full = systemFullPath(typed);
    if (!full) {
        failure = systemFailure(GetLastError());
        return std::nullopt;
    }
    if (full->size() > 3 && full->back() == L'\\') {
        full->pop_back();
    }
    if (full->starts_with(L"\\\\?\\") || full->starts_with(L"\\\\.\\")) {
        return L"\\??\\" + full->substr(4);
    }
    if (full->starts_with(L"\\\\")) {
        return L"\\??\\UNC\\" + full->substr(2);
    }
    return L"\\??\\" + *full;
}

ULONGLONG ticksOf(const FILETIME& time) { return ULONGLONG{time.dwHighDateTime} << 32 | time.dwLowDateTime; }

// As precise as the system tells: every clock a file system stamps a
// file's making with reads that time or earlier.
std::string preciseTimeNow() {
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    return std::to_string(ticksOf(now));
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

EnterResult Platform::openDirectory(std::string_view directoryPrefix, Failure& failure) {
    state_->renamer.reset();
    const std::optional<std::wstring> path = typedPathOf(fromUtf8(directoryPrefix), failure);
    if (!path) {
        return EnterResult::failed;
    }
    return state_->directories.openFirst(*path, failure);
}

EnterResult Platform::openSubdirectory(const FoundEntry& entry, Failure& failure) {
    state_->renamer.reset();
    return state_->directories.openChild(fromUtf8(entry.name), entry.fileId, failure);
}

EnterResult Platform::openSubdirectoryByName(const std::string& name, Failure& failure) {
    state_->renamer.reset();
    return state_->directories.openChild(fromUtf8(name), std::nullopt, failure);
}

bool Platform::closeDirectory(Failure&) {
    state_->renamer.reset();
    state_->directories.closeCurrent();
    return true;
}

bool Platform::currentIsStillInItsParent(Failure& failure) {
    return state_->directories.currentIsStillInItsParent(failure);
}

std::shared_ptr<const DirectoryListing> Platform::listDirectory(Failure& failure) {
    auto entries = std::make_shared<DirectoryListing>();
    if (!readDirectory(state_->directories.current(), *entries, failure)) {
        return nullptr;
    }
    entries->setTimeRead(preciseTimeNow());
    // A listing marks a folder where a volume is mounted as it marks a link:
    // that one is said when it is not entered.
    for (FoundEntry& entry : *entries) {
        if (entry.isLink && entry.isDirectory) {
            NTSTATUS status = 0;
            const HANDLE opened = openRelative(state_->directories.current(), fromUtf8(entry.name), FILE_READ_ATTRIBUTES,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                               FILE_DIRECTORY_FILE, status);
            if (opened != nullptr) {
                entry.isLink = !isMountedVolume(opened);
                CloseHandle(opened);
            }
        }
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

Failure Platform::whyWorkingDirectoryIsUnknown() {
    Failure failure;
    return currentFolder(failure) ? whyWineStartedElsewhere() : failure;
}

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


std::string Platform::runStartTime() { return preciseTimeNow(); }

// A file's making is stamped with the system time, which moves on a tick at
// a time and so lags the precise time; under Wine, with the Unix file
// system's clock, which lags it too and cannot be read from here: a tick
// more.
void Platform::waitForStampsAfter(std::string_view time) {
    constexpr ULONGLONG tick = 160000;  // in 100 ns
    ULONGLONG recorded = 0;
    std::from_chars(time.data(), time.data() + time.size(), recorded);
    for (FILETIME coarse;; Sleep(1)) {
        GetSystemTimeAsFileTime(&coarse);
        if (ticksOf(coarse) > recorded + (isWine() ? tick : 0)) {
            return;
        }
    }
}

namespace {

// A file made after the time a journal recorded it had been made by: then
// its number was given anew, to another file (as Wine's file IDs, the Unix
// inode numbers, may be). Not a folder: Wine moves a folder's time of
// making on as its entries change.
bool madeAfter(HANDLE file, std::string_view madeBy) {
    BY_HANDLE_FILE_INFORMATION information;
    ULONGLONG recorded = 0;
    std::from_chars(madeBy.data(), madeBy.data() + madeBy.size(), recorded);
    return GetFileInformationByHandle(file, &information) &&
           (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
           ticksOf(information.ftCreationTime) > recorded;
}

bool openedAndMadeAfter(HANDLE directory, const std::wstring& name, std::string_view madeBy) {
    NTSTATUS status = 0;
    const HANDLE file = openRelative(directory, name, FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0, status);
    const bool after = file != nullptr && madeAfter(file, madeBy);
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

bool Platform::isEntryAsRecorded(const FoundEntry& entry, std::string_view identity, std::string_view madeBy) {
    return entryIdentity(entry) == identity &&
           !openedAndMadeAfter(state_->directories.current(), fromUtf8(entry.name), madeBy);
}

void Platform::stopIfAsked() { stopIfRequested(); }

}  // namespace tocase
