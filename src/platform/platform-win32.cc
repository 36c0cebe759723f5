#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/snapshot_search.h"
#include "platform/win32_calls.h"

namespace tocase {
namespace {

FoundEntry foundEntry(const WIN32_FIND_DATAA& data) {
    FoundEntry entry;
    entry.name = data.cFileName;
    entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.isHidden = (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
    entry.isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    return entry;
}

// The name of the entry at `path` as the file system stores it.
std::optional<std::string> storedName(const std::string& path) {
    WIN32_FIND_DATAA data;
    const HANDLE search = FindFirstFileA(path.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    FindClose(search);
    return std::string(data.cFileName);
}

BOOL moveFile(const std::string& from, const std::string& to) {
    return win32Calls().moveFile(from.c_str(), to.c_str());
}

bool isTakenError(DWORD error) {
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
}

// For file systems that accept a case-only rename and change nothing: two
// renames through a name nothing else holds, put back if the second fails.
bool renameThroughTemporaryName(const std::string& prefix, const std::string& oldName,
                                const std::string& newName) {
    constexpr int attempts = 100;
    std::string temporaryPath;
    for (int i = 0;; ++i) {
        if (i == attempts) {
            return false;
        }
        temporaryPath = prefix + "~tocase-" + std::to_string(GetCurrentProcessId()) + "-" +
                        std::to_string(i) + ".tmp";
        if (moveFile(prefix + oldName, temporaryPath)) {
            break;
        }
        if (!isTakenError(GetLastError())) {
            return false;
        }
    }
    if (!moveFile(temporaryPath, prefix + newName)) {
        moveFile(temporaryPath, prefix + oldName);
        return false;
    }
    return storedName(prefix + newName) == newName;
}

class Win32Platform : public Platform {
public:
    Win32Platform() : output_(GetStdHandle(STD_OUTPUT_HANDLE)) {
        facts_.hasDriveLetters = true;
        for (int b = 0; b < 256; ++b) {
            facts_.leadBytes[b] = IsDBCSLeadByte(static_cast<BYTE>(b)) != 0;
        }
    }

    const PlatformFacts& facts() const override { return facts_; }

    // The whole result is read before any entry is handed out, so renames
    // made meanwhile can neither skip nor repeat one.
    std::unique_ptr<DirectorySearch> startSearch(std::string_view directoryPrefix,
                                                 std::string_view namePattern) override {
        const std::string path = std::string(directoryPrefix) + std::string(namePattern);
        WIN32_FIND_DATAA data;
        const HANDLE search = FindFirstFileA(path.c_str(), &data);
        if (search == INVALID_HANDLE_VALUE) {
            return nullptr;
        }
        std::vector<FoundEntry> entries;
        do {
            entries.push_back(foundEntry(data));
        } while (FindNextFileA(search, &data));
        FindClose(search);
        return std::make_unique<SnapshotSearch>(std::move(entries));
    }

    // MoveFileA never replaces an existing entry. Afterwards the new name
    // must be found exactly as asked; where the look-up still shows the old
    // spelling, the entry itself holds the name and goes round.
    bool renameEntry(std::string_view directoryPrefix, std::string_view oldName,
                     std::string_view newName, bool isDirectory) override {
        const std::string prefix(directoryPrefix);
        const std::string oldText(oldName);
        const std::string newText(newName);
        const DWORD attributes = GetFileAttributesA((prefix + oldText).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES ||
            ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != isDirectory) {
            return false;
        }
        const bool moved = moveFile(prefix + oldText, prefix + newText) != 0;
        const std::optional<std::string> stored = storedName(prefix + newText);
        if (moved && stored == newText) {
            return true;
        }
        if (stored == oldText) {
            return renameThroughTemporaryName(prefix, oldText, newText);
        }
        return false;
    }

    void writeOutput(std::string_view bytes) override { pendingOutput_ += bytes; }

    // Written as bytes, never through a text-mode stream: CR LF, not CR CR LF.
    void endOutputLine() override {
        pendingOutput_ += "\r\n";
        std::string_view rest = pendingOutput_;
        while (!rest.empty()) {
            DWORD written = 0;
            if (!WriteFile(output_, rest.data(), static_cast<DWORD>(rest.size()), &written, nullptr) ||
                written == 0) {
                break;  // a closed or failing output never stops the run
            }
            rest.remove_prefix(written);
        }
        pendingOutput_.clear();
    }

private:
    PlatformFacts facts_;
    HANDLE output_;
    std::string pendingOutput_;
};

}  // namespace

Win32Calls& win32Calls() {
    static Win32Calls calls{MoveFileA};
    return calls;
}

std::unique_ptr<Platform> makeNativePlatform() { return std::make_unique<Win32Platform>(); }

}  // namespace tocase
