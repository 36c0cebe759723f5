#ifndef TOCASE_PLATFORM_DIRECTORY_HANDLES_WIN32_H
#define TOCASE_PLATFORM_DIRECTORY_HANDLES_WIN32_H

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/nt_files-win32.h"

namespace tocase {

// The directories a walk is inside, each held as a handle: the first as
// typed, each other one relative to its parent, never through a link or
// other reparse point. Each is held without delete sharing, so that no
// Windows program can move it away while it is walked.
class DirectoryHandles {
public:
    DirectoryHandles() = default;
    ~DirectoryHandles();
    DirectoryHandles(const DirectoryHandles&) = delete;
    DirectoryHandles& operator=(const DirectoryHandles&) = delete;

    EnterResult openFirst(const std::wstring& path, Failure& failure);
    // `listedId` is the file ID a listing gave; without one, whoever opens
    // it confirms it is the folder wanted.
    EnterResult openChild(const std::wstring& name, std::optional<std::uint64_t> listedId, Failure& failure);
    void closeCurrent();
    // Whether the current directory is still the entry of its parent under
    // the name it was opened by.
    bool currentIsStillInItsParent(Failure& failure) const;
    HANDLE current() const { return levels_.back().handle; }
    // The current directory's path, built of the names it was entered by
    // exactly (the system's own name for a handle drops a trailing dot).
    const std::wstring& currentPath() const { return levels_.back().path; }

private:
    struct Level {
        HANDLE handle = nullptr;
        std::wstring name;  // in its parent; empty for the first
        std::wstring path;
        FileIdentity identity;
    };
    void closeAll();

    std::vector<Level> levels_;
};

}  // namespace tocase

#endif
