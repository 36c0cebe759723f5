#ifndef TOCASE_PLATFORM_RENAME_POSIX_H
#define TOCASE_PLATFORM_RENAME_POSIX_H

#include <optional>
#include <string>
#include <unordered_set>

#include "platform/platform.h"
#include "platform/temporary_name.h"

namespace tocase {

// Renames entries of one directory, with what the renames teach about its
// file system. Never replaces or removes another entry.
class RenameDirectory {
public:
    explicit RenameDirectory(int directoryFd) : directoryFd_(directoryFd) {}

    // Renames the entry to `newName` if it is still of the kind listed (a
    // link still a link, whatever it points to). Renamed only when the
    // directory then holds `newName`, byte for byte.
    RenameResult rename(const FoundEntry& entry, const std::string& newName, const TemporaryNameNotice& notice);

private:
    bool isStillAsListed(const FoundEntry& entry, std::string& reason);
    int renameNoReplace(const std::string& from, const std::string& to);
    StepResult step(const std::string& from, const std::string& to);
    std::optional<bool> holdsExactName(const std::string& name, std::string& reason);
    bool readExactNames(std::string& reason);
    void noteRenamed(const std::string& from, const std::string& to);
    RenameResult renameThroughTemporaryName(const std::string& oldName, const std::string& newName,
                                            const TemporaryNameNotice& notice);
    bool confirmSpelling(const std::string& newName, std::string& reason);

    int directoryFd_;  // not owned
    // The names exactly as stored, read once when first needed and kept up
    // to date with the renames made here.
    std::optional<std::unordered_set<std::string>> exactNames_;
    bool spellingConfirmed_ = false;
};

}  // namespace tocase

#endif
