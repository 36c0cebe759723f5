#ifndef TOCASE_PLATFORM_RENAME_WIN32_H
#define TOCASE_PLATFORM_RENAME_WIN32_H

#include <windows.h>

#include <optional>
#include <string>
#include <unordered_map>

#include "platform/platform.h"

namespace tocase {

// Renames entries of one open directory, each through a handle of its own
// opened relative to the directory: never the target of a link, never
// replacing another entry, never moving a twin that differs only in case.
class RenameDirectory {
public:
    explicit RenameDirectory(HANDLE directory) : directory_(directory) {}

    RenameResult rename(const FoundEntry& entry, const std::wstring& newName, const TemporaryNameNotice& notice);
    // What rename would answer, as far as can be known without renaming.
    RenameResult preview(const FoundEntry& entry, const std::wstring& newName);

private:
    std::optional<std::wstring> twinOf(const std::wstring& self, const std::wstring& newName);
    void noteRenamed(const std::wstring& oldName, const std::wstring& newName);
    RenameResult renameOrPreview(const FoundEntry& entry, const std::wstring& newName,
                                 const TemporaryNameNotice* notice);
    RenameResult renameOpenEntry(HANDLE entry, const std::wstring& newPath, const std::wstring& oldName,
                                 const std::wstring& newName, const TemporaryNameNotice& notice);

    HANDLE directory_;  // not owned
    // The directory's names by their uppercase form, read once and kept up
    // to date with the renames made, or previewed, here.
    std::optional<std::unordered_multimap<std::wstring, std::wstring>> namesByFold_;
};

}  // namespace tocase

#endif
