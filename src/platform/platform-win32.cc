#include <windows.h>

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/text-win32.h"
#include "platform/win32_calls.h"

namespace tocase {
namespace {

std::string reasonText(DWORD error) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason = length > 0 ? std::string(text, length) : "error " + std::to_string(error);
    LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.' ||
                               reason.back() == ' ')) {
        reason.pop_back();
    }
    return reason;
}

// The full path in the form that lifts the length limit: \\?\C:\... or
// \\?\UNC\server\share\..., ending in a backslash.
std::optional<std::wstring> longPathOf(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    const DWORD length = size == 0 ? 0 : GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) {
        return std::nullopt;
    }
    full.resize(length);
    if (full.back() != L'\\') {
        full += L'\\';
    }
    if (full.starts_with(L"\\\\?\\")) {
        return full;
    }
    if (full.starts_with(L"\\\\")) {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    return L"\\\\?\\" + full;
}

bool isDirectoryAt(const std::wstring& path, std::string& reason) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        reason = reasonText(GetLastError());
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        reason = "it is a junction or other reparse point";
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        reason = reasonText(ERROR_DIRECTORY);
        return false;
    }
    return true;
}

FoundEntry foundEntry(const WIN32_FIND_DATAW& data) {
    FoundEntry entry;
    entry.name = toCodePage(data.cFileName);
    entry.storedName = wideBytes(data.cFileName);
    entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.isHidden = (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
    entry.isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    return entry;
}

// The name of the entry at `path` as the file system stores it.
std::optional<std::wstring> storedName(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW(path.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    FindClose(search);
    return std::wstring(data.cFileName);
}

bool moveFile(const std::wstring& from, const std::wstring& to) {
    return win32Calls().moveFile(from.c_str(), to.c_str()) != 0;
}

bool isTakenError(DWORD error) { return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS; }

// The original name comes first, so that an entry left under a temporary
// name can be told; where that would be too long, a generic one.
std::wstring temporaryName(const std::wstring& oldName, int attempt) {
    constexpr std::size_t longestName = 255;
    const std::wstring unique =
        L"~tocase-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt);
    const std::wstring named = oldName + L"." + unique;
    return named.size() <= longestName ? named : unique + L".tmp";
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

class Win32Platform : public Platform {
public:
    Win32Platform() : output_(GetStdHandle(STD_OUTPUT_HANDLE)), errors_(GetStdHandle(STD_ERROR_HANDLE)) {
        facts_.hasDriveLetters = true;
        for (int b = 0; b < 256; ++b) {
            facts_.leadBytes[b] = IsDBCSLeadByte(static_cast<BYTE>(b)) != 0;
        }
        SetConsoleCtrlHandler(noteStop, TRUE);
    }

    const PlatformFacts& facts() const override { return facts_; }

    bool openDirectory(std::string_view directoryPrefix, std::string& reason) override {
        open_.clear();
        const std::wstring typed = directoryPrefix.empty() ? L"." : fromCodePage(directoryPrefix);
        const std::optional<std::wstring> path = longPathOf(typed);
        if (!path) {
            reason = reasonText(GetLastError());
            return false;
        }
        if (!isDirectoryAt(*path, reason)) {
            return false;
        }
        open_.push_back(*path);
        return true;
    }

    // Windows offers no opening relative to a handle through these
    // functions: the path is checked just before, and a reparse point that
    // appears in between is the remaining window.
    bool openSubdirectory(const FoundEntry& entry, std::string& reason) override {
        const std::wstring path = open_.back() + fromWideBytes(entry.storedName) + L"\\";
        if (!isDirectoryAt(path, reason)) {
            return false;
        }
        open_.push_back(path);
        return true;
    }

    bool closeDirectory(std::string&) override {
        open_.pop_back();
        return true;
    }

    bool searchDirectory(std::string_view namePattern, const EntryVisitor& visit,
                         std::string& reason) override {
        std::vector<FoundEntry> entries;
        if (!readMatches(namePattern, entries, reason)) {
            return false;
        }
        for (const FoundEntry& entry : entries) {
            visit(entry);
        }
        return true;
    }

    // MoveFileW never replaces an existing entry. Afterwards the new name
    // must be found exactly as asked; where the look-up still shows the old
    // spelling, the entry itself holds the name and goes round.
    RenameResult renameEntry(const FoundEntry& entry, std::string_view, bool toLower) override {
        const std::wstring& directory = open_.back();
        const std::wstring oldName = fromWideBytes(entry.storedName);
        const std::wstring newName = withAsciiCase(oldName, toLower);
        const DWORD attributes = GetFileAttributesW((directory + oldName).c_str());
        RenameResult result;
        if (attributes == INVALID_FILE_ATTRIBUTES ||
            ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != entry.isDirectory) {
            return result;
        }
        const bool moved = moveFile(directory + oldName, directory + newName);
        const std::optional<std::wstring> stored = storedName(directory + newName);
        if (moved && stored == newName) {
            result.renamed = true;
        } else if (stored == oldName) {
            result = renameThroughTemporaryName(directory, oldName, newName);
        }
        return result;
    }

    void writeOutput(std::string_view bytes) override { pendingOutput_ += bytes; }

    // Written as bytes, never through a text-mode stream: CR LF, not CR CR LF.
    void endOutputLine() override {
        pendingOutput_ += "\r\n";
        writeAll(output_, pendingOutput_);
        pendingOutput_.clear();
    }

    void writeErrorLine(std::string_view text) override {
        writeAll(errors_, "tocase: " + std::string(text) + "\r\n");
    }

    void stopIfAsked() override {
        if (stopAsked) {
            ExitProcess(STATUS_CONTROL_C_EXIT);
        }
    }

private:
    // All of them before any is handed over. A pattern that matches
    // nothing, or cannot match anything, is an empty result; any other
    // failure means the directory cannot be read.
    bool readMatches(std::string_view namePattern, std::vector<FoundEntry>& entries, std::string& reason) {
        WIN32_FIND_DATAW data;
        const HANDLE search = FindFirstFileW((open_.back() + fromCodePage(namePattern)).c_str(), &data);
        if (search == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES || error == ERROR_INVALID_NAME) {
                return true;
            }
            reason = reasonText(error);
            return false;
        }
        do {
            entries.push_back(foundEntry(data));
        } while (FindNextFileW(search, &data));
        const DWORD error = GetLastError();
        FindClose(search);
        if (error == ERROR_NO_MORE_FILES) {
            return true;
        }
        reason = reasonText(error);
        return false;
    }

    // For file systems that accept a case-only rename and change nothing:
    // two renames through a name nothing else holds, put back if the
    // second fails.
    static RenameResult renameThroughTemporaryName(const std::wstring& directory, const std::wstring& oldName,
                                                   const std::wstring& newName) {
        constexpr int attempts = 100;
        RenameResult result;
        std::wstring temporary;
        for (int i = 0;; ++i) {
            if (i == attempts) {
                return result;
            }
            temporary = temporaryName(oldName, i);
            if (moveFile(directory + oldName, directory + temporary)) {
                break;
            }
            if (!isTakenError(GetLastError())) {
                return result;
            }
        }
        if (!moveFile(directory + temporary, directory + newName)) {
            if (!moveFile(directory + temporary, directory + oldName)) {
                result.strandedName = toCodePage(temporary);
                result.reason = reasonText(GetLastError());
            }
            return result;
        }
        result.renamed = storedName(directory + newName) == newName;
        return result;
    }

    // A closed or failing output never stops the run.
    static void writeAll(HANDLE handle, std::string_view bytes) {
        while (!bytes.empty()) {
            DWORD written = 0;
            if (!WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
                written == 0) {
                return;
            }
            bytes.remove_prefix(written);
        }
    }

    PlatformFacts facts_;
    HANDLE output_;
    HANDLE errors_;
    // The full paths of the open directories, innermost last.
    std::vector<std::wstring> open_;
    std::string pendingOutput_;
};

}  // namespace

Win32Calls& win32Calls() {
    static Win32Calls calls{MoveFileW};
    return calls;
}

std::unique_ptr<Platform> makeNativePlatform() { return std::make_unique<Win32Platform>(); }

}  // namespace tocase
