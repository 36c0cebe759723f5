#ifndef TOCASE_PLATFORM_RENAME_POSIX_H
#define TOCASE_PLATFORM_RENAME_POSIX_H

#include <optional>
#include <string>

#include "platform/name_table.h"
#include "platform/platform.h"
#include "platform/posix/rename_confirmation-posix.h"
#include "platform/posix/rename_obstacles-posix.h"
#include "platform/temporary_name.h"

namespace tocase {

// Renames entries of one directory, with what the renames teach about its
// file system. Never replaces or removes another entry.
class RenameDirectory {
public:
    // `spellingConfirmed` is shared by the directories of a run: whether a
    // rename reported done has been seen to leave the spelling asked for.
    // How a file system stores names does not change from one entry to the
    // next, and a run stays on one file system, so one reading back tells.
    // `numbersLast`: the file system keeps each file's number, so that a
    // number told apart from the listing's is another file.
    RenameDirectory(int directoryFd, bool& spellingConfirmed, bool numbersLast)
        : directoryFd_(directoryFd), spellingConfirmed_(spellingConfirmed), numbersLast_(numbersLast) {}

    // The entries about to be renamed, in the order listed: confirmed by one
    // reading of the directory as the renames come, not one look each. They
    // point into `listing`, which read the whole directory in one buffer at
    // `listedAt` where `listedInOne`: that stands for the reading's first.
    void announce(const std::vector<const FoundEntry*>& entries, const DirectoryListing* listing, bool listedInOne,
                  RenameConfirmation::Clock::time_point listedAt);

    // Renames the entry to `newName` if it is still the entry listed: the
    // same file where numbers last, of the same kind (a link still a link,
    // whatever it points to). Renamed only where the
    // directory shows `newName` byte for byte, or the file system has been
    // seen to keep the spelling asked for; where a reading cannot show it,
    // renamed with a notice unless the names' own look-ups show otherwise.
    RenameResult rename(const FoundEntry& entry, const std::string& newName, const TemporaryNameNotice& notice);
    // What rename would answer, as far as can be known without renaming:
    // the refusals the kernel would meet first, with its reasons, and
    // another entry holding the new name, counting the names that the
    // renames previewed before it here would have made.
    RenameResult preview(const FoundEntry& entry, const std::string& newName, const DirectoryListing& listing);

private:
    bool isStillAsListed(const FoundEntry& entry, Failure& failure);
    int renameNoReplace(const char* from, const char* to);
    StepResult step(const char* from, const char* to);
    std::optional<bool> holdsExactName(const std::string& name, Failure& failure);
    bool readExactNames(Failure& failure);
    void noteRenamed(const char* from, const char* to);
    RenameResult renameThroughTemporaryName(const FoundEntry& entry, const std::string& newName,
                                            const TemporaryNameNotice& notice);
    bool confirmSpelling(const FoundEntry& entry, const std::string& newName, bool& oldKept, RenameResult& result);
    bool holdsOnlyNewSpelling(const FoundEntry& entry, const std::string& newName);

    int directoryFd_;  // not owned
    bool& spellingConfirmed_;
    bool numbersLast_;
    std::optional<RenameConfirmation> confirmation_;
    // The names exactly as stored, read once where a rename meets a name
    // taken (a file system that folds case) or a preview begins, and kept
    // up to date with the renames made here.
    struct ExactNames {
        NameTable names;
        NameStore kept;
        void add(std::string_view name) { names.insert(kept.keep(name), 0); }
    };
    std::optional<ExactNames> exactNames_;
    std::optional<DirectoryObstacles> obstacles_;  // looked for once, by a preview
};

}  // namespace tocase

#endif
