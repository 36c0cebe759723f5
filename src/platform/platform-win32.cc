#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/directory_handles-win32.h"
#include "platform/nt_files-win32.h"
#include "platform/platform.h"
#include "platform/read_directory-win32.h"
#include "platform/rename-win32.h"
#include "platform/text-win32.h"

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

// Ctrl+C and Ctrl+Break take effect between entries.
std::atomic<bool> stopAsked{false};

BOOL WINAPI noteStop(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    stopAsked = true;
    return TRUE;
}

}  // namespace

struct Platform::State {
    PlatformFacts facts;
    DirectoryHandles directories;
    std::optional<RenameDirectory> renamer;
    Console console;

    RenameDirectory& currentRenamer() {
        if (!renamer) {
            renamer.emplace(directories.current(), directories.currentPath());
        }
        return *renamer;
    }
};

Platform::Platform() : state_(std::make_unique<State>()) {
    state_->facts.hasDriveLetters = true;
    state_->facts.namesAreUtf16 = true;
    SetConsoleCtrlHandler(noteStop, TRUE);
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

RenameResult Platform::renameEntry(const FoundEntry& entry, const std::string& newName,
                                   const TemporaryNameNotice& notice) {
    return state_->currentRenamer().rename(entry, fromUtf8(newName), notice);
}

RenameResult Platform::previewRename(const FoundEntry& entry, const std::string& newName) {
    return state_->currentRenamer().preview(entry, fromUtf8(newName));
}

void Platform::writeOutput(std::string_view bytes) { state_->console.write(bytes); }

void Platform::endOutputLine() { state_->console.endLine(); }

void Platform::writeErrorLine(std::string_view text) { state_->console.errorLine(text); }

void Platform::stopIfAsked() {
    if (stopAsked) {
        ExitProcess(STATUS_CONTROL_C_EXIT);
    }
}

}  // namespace tocase
