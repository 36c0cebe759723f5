#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/platform.h"
#include "platform/system_calls-win32.h"
#include "platform/temporary_name.h"
#include "platform/text-win32.h"

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

// A junction or other reparse point is never entered, as a link is not.
EnterResult directoryAt(const std::wstring& path, std::string& reason) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        reason = reasonText(GetLastError());
        return EnterResult::failed;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        reason = "it is a junction or other reparse point";
        return EnterResult::refused;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        reason = reasonText(ERROR_DIRECTORY);
        return EnterResult::failed;
    }
    return EnterResult::entered;
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
    return systemCalls().moveFile(from.c_str(), to.c_str()) != 0;
}

// One step of a rename within a directory, never replacing.
StepResult moveWithin(const std::wstring& directory, const std::wstring& from, const std::wstring& to) {
    if (moveFile(directory + from, directory + to)) {
        return {StepEnd::done, {}};
    }
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
        std::string reason = "'";
        reason.append(toCodePage(to)).append("' is another entry");
        return {StepEnd::taken, reason};
    }
    if (error == ERROR_FILENAME_EXCED_RANGE || error == ERROR_INVALID_NAME) {
        return {StepEnd::tooLong, reasonText(error)};
    }
    return {StepEnd::failed, reasonText(error)};
}

// The second half of a surrogate pair belongs to the first.
bool isLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Ctrl+C and Ctrl+Break take effect between entries.
std::atomic<bool> stopAsked{false};

BOOL WINAPI noteStop(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    stopAsked = true;
    return TRUE;
}

// All of a directory's entries before any is handed over. Any failure
// but an empty directory means it cannot be read.
bool readDirectory(const std::wstring& directory, std::vector<FoundEntry>& entries, std::string& reason) {
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW((directory + L"*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) {
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

// A closed or failing output never stops the run.
bool writeAll(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

}  // namespace

struct Platform::State {
    PlatformFacts facts;
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE errors = GetStdHandle(STD_ERROR_HANDLE);
    bool outputFailed = false;
    // The full paths of the open directories, innermost last.
    std::vector<std::wstring> open;
    std::string pendingOutput;
    // The current directory's names, ignoring case, for a preview: a
    // case-only rename never changes them.
    std::optional<std::unordered_multiset<std::wstring>> foldedNames;
};

Platform::Platform() : state_(std::make_unique<State>()) {
    state_->facts.hasDriveLetters = true;
    for (int b = 0; b < 256; ++b) {
        state_->facts.leadBytes[b] = IsDBCSLeadByte(static_cast<BYTE>(b)) != 0;
    }
    SetConsoleCtrlHandler(noteStop, TRUE);
}

Platform::~Platform() = default;

const PlatformFacts& Platform::facts() const { return state_->facts; }

// The arguments are read wide, exactly as typed. A character that the code
// page cannot hold becomes a control byte, which no file name holds and no
// option reads: a file specification holding one matches nothing, never a
// look-alike, and never counts as a wildcard.
std::vector<std::string> Platform::commandLine(int, char**) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        bool exact = true;
        arguments.push_back(toCodePage(wide[i], '\x01', &exact));
        if (!exact && i > 0) {
            writeErrorLine("cannot use the argument '" + toCodePage(wide[i]) +
                           "': the active code page cannot show all its characters, so it matches nothing");
        }
    }
    LocalFree(wide);
    return arguments;
}

bool Platform::openDirectory(std::string_view directoryPrefix, std::string& reason) {
    state_->open.clear();
    state_->foldedNames.reset();
    const std::wstring typed = directoryPrefix.empty() ? L"." : fromCodePage(directoryPrefix);
    const std::optional<std::wstring> path = longPathOf(typed);
    if (!path) {
        reason = reasonText(GetLastError());
        return false;
    }
    if (directoryAt(*path, reason) != EnterResult::entered) {
        return false;
    }
    state_->open.push_back(*path);
    return true;
}

// Windows offers no opening relative to a handle through these functions:
// the path is checked just before, and a reparse point that appears in
// between is the remaining window.
EnterResult Platform::openSubdirectory(const FoundEntry& entry, std::string& reason) {
    const std::wstring path = state_->open.back() + fromWideBytes(entry.storedName) + L"\\";
    const EnterResult result = directoryAt(path, reason);
    if (result == EnterResult::entered) {
        state_->open.push_back(path);
        state_->foldedNames.reset();
    }
    return result;
}

bool Platform::closeDirectory(std::string&) {
    state_->open.pop_back();
    state_->foldedNames.reset();
    return true;
}

bool Platform::currentIsStillInItsParent(std::string&) { return true; }

bool Platform::listDirectory(const EntryVisitor& visit, std::string& reason) {
    std::vector<FoundEntry> entries;
    if (!readDirectory(state_->open.back(), entries, reason)) {
        return false;
    }
    for (const FoundEntry& entry : entries) {
        visit(entry);
    }
    return true;
}

// MoveFileW never replaces an existing entry. Afterwards the new name must
// be found exactly as asked; where the look-up still shows the old
// spelling, the entry itself holds the name and goes round a temporary one.
RenameResult Platform::renameEntry(const FoundEntry& entry, bool toLower, const TemporaryNameNotice& notice) {
    const std::wstring& directory = state_->open.back();
    const std::wstring oldName = fromWideBytes(entry.storedName);
    const std::wstring newName = withAsciiCase(oldName, toLower);
    RenameResult result;
    const DWORD attributes = GetFileAttributesW((directory + oldName).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        result.reason = reasonText(GetLastError());
        return result;
    }
    if (((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != entry.isDirectory) {
        result.reason = entry.isDirectory ? "it is no longer the directory that was listed"
                                          : "it is no longer the file that was listed";
        return result;
    }
    const StepResult direct = moveWithin(directory, oldName, newName);
    const std::optional<std::wstring> stored = storedName(directory + newName);
    if (direct.end == StepEnd::done && stored == newName) {
        result.renamed = true;
        return result;
    }
    if (stored != oldName) {
        result.reason = direct.end == StepEnd::done ? "the file system kept another spelling" : direct.reason;
        return result;
    }
    const auto outcome = renameThroughTemporaryName(
        oldName, newName, 255, GetCurrentProcessId(),
        [&directory](const std::wstring& from, const std::wstring& to) { return moveWithin(directory, from, to); },
        isLowSurrogate, [&notice](const std::wstring& temporary) { notice(toCodePage(temporary)); });
    result.renamed = outcome.renamed && storedName(directory + newName) == newName;
    result.reason = outcome.renamed && !result.renamed ? "the file system kept another spelling" : outcome.reason;
    result.strandedName = toCodePage(outcome.strandedName);
    return result;
}

// Where another entry holds the new name in any spelling, as the file
// system resolves names.
RenameResult Platform::previewRename(const FoundEntry& entry, bool toLower) {
    std::optional<std::unordered_multiset<std::wstring>>& names = state_->foldedNames;
    if (!names) {
        names.emplace();
        std::vector<FoundEntry> entries;
        std::string ignored;
        readDirectory(state_->open.back(), entries, ignored);
        for (const FoundEntry& listed : entries) {
            names->insert(withAsciiCase(fromWideBytes(listed.storedName), true));
        }
    }
    const std::wstring newName = withAsciiCase(fromWideBytes(entry.storedName), toLower);
    if (names->count(withAsciiCase(newName, true)) > 1) {
        std::string reason = "'";
        reason.append(toCodePage(newName)).append("' is another entry");
        return {false, reason, {}};
    }
    return {true, {}, {}};
}

void Platform::writeOutput(std::string_view bytes) { state_->pendingOutput += bytes; }

// Written as bytes, never through a text-mode stream: CR LF, not CR CR LF.
void Platform::endOutputLine() {
    state_->pendingOutput += "\r\n";
    if (!state_->outputFailed) {
        state_->outputFailed = !writeAll(state_->output, state_->pendingOutput);
    }
    state_->pendingOutput.clear();
}

void Platform::writeErrorLine(std::string_view text) {
    writeAll(state_->errors, "tocase: " + std::string(text) + "\r\n");
}

void Platform::stopIfAsked() {
    if (stopAsked) {
        ExitProcess(STATUS_CONTROL_C_EXIT);
    }
}

SystemCalls realSystemCalls() { return {MoveFileW}; }

SystemCalls& systemCalls() {
    static SystemCalls calls = realSystemCalls();
    return calls;
}

}  // namespace tocase
