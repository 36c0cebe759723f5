#ifndef TOCASE_PLATFORM_RENAME_WIN32_H
#define TOCASE_PLATFORM_RENAME_WIN32_H

#include <windows.h>

#include <optional>
#include <string>
#include <unordered_map>

#include "platform/platform.h"
#include "platform/temporary_name.h"
#include "platform/win32/nt_files-win32.h"

namespace tocase {

// Renames entries of one open directory, each through a handle of its own
// opened relative to the directory: never the target of a link, never
// replacing another entry, never moving a twin that differs only in case.
class RenameDirectory {
public:
    RenameDirectory(HANDLE directory, std::wstring path) : directory_(directory), path_(std::move(path)) {}

    RenameResult rename(const FoundEntry& entry, const std::wstring& newName, const TemporaryNameNotice& notice);
    // What rename would answer, as far as can be known without renaming.
    RenameResult preview(const FoundEntry& entry, const std::wstring& newName);

private:
    void readNames();
    std::optional<std::wstring> twinOf(const std::wstring& self, const std::wstring& newName);
    void noteRenamed(const std::wstring& oldName, const std::wstring& newName);
    struct OpenedEntry {
        HANDLE handle = nullptr;
        FileIdentity identity;
    };
    RenameResult openAsListed(const FoundEntry& entry, const std::wstring& newName, ACCESS_MASK access,
                              OpenedEntry& opened);
    Failure whyNotItself(const FoundEntry& entry, const OpenedEntry& opened);
    Failure whyNotOpened(const FoundEntry& entry, NTSTATUS status);
    bool isUnixMountPointHere(const std::wstring& name, const FileIdentity& opened);
    StepResult whetherFree(const std::wstring& name, const FileIdentity& self);
    Failure whyNotTwoSteps(const std::wstring& oldName, const std::wstring& newName, const FileIdentity& identity);
    StepResult putBack(HANDLE entry, const std::wstring& from, const std::wstring& oldName,
                       const FileIdentity& identity);
    const std::optional<FileIdentity>& ownIdentity();
    RenameResult renameOpenEntry(HANDLE entry, const FileIdentity& identity, const std::wstring& oldName,
                                 const std::wstring& newName, const TemporaryNameNotice& notice);
    Failure whyDirectoryMoved();
    Failure whyPathStillMisleads();
    StepResult landed(HANDLE entry, const std::wstring& from, const std::wstring& to, const FileIdentity& identity,
                      NTSTATUS status);
    Failure moveBack(HANDLE entry, const std::wstring& movedTo, const std::wstring& movedFrom,
                         const FileIdentity& ours);

    HANDLE directory_;  // not owned
    std::wstring path_;       // built of the names it was entered by
    std::wstring shownPath_;  // the system's own name for it
    std::wstring unixPath_;   // its Unix form, under Wine, once needed
    std::optional<FileIdentity> directoryIdentity_;
    bool identityAsked_ = false;
    Failure directoryProblem_;  // once its path was seen to lead elsewhere
    // The directory's names by their uppercase form, read once and kept up
    // to date with the renames made, or previewed, here.
    std::optional<std::unordered_multimap<std::wstring, std::wstring>> namesByFold_;
    std::unordered_map<std::wstring, int> namesAlike_;
    // Whether another folder's path reads as this one's, once trailing dots
    // and spaces are dropped.
    std::optional<bool> directoryReadsAlike_;
};

}  // namespace tocase

#endif
