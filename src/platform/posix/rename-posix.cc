#include "platform/posix/rename-posix.h"

#include <limits.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/read_directory-posix.h"
#include "platform/posix/system_calls-posix.h"

namespace tocase {
namespace {

bool flagIsRefused(int error) { return error == EINVAL || error == ENOSYS || error == ENOTSUP; }

// A UTF-8 continuation byte belongs to the character before it.
bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

// Confirmed by the reading of the directory where the renames were
// announced; otherwise, where that reading is no longer fresh or gives no
// type, looked at without following: a link listed is renamed as the link
// it still is, even when its target has just been renamed.
bool RenameDirectory::isStillAsListed(const FoundEntry& entry, Failure& failure) {
    if (confirmation_ && confirmation_->covers(entry)) {
        switch (confirmation_->confirm(entry, numbersLast_, failure)) {
            case RenameConfirmation::Verdict::confirmed:
                return true;
            case RenameConfirmation::Verdict::refused:
                return false;
            case RenameConfirmation::Verdict::lookAlone:
                break;
        }
    }
    struct stat status {};
    if (systemCalls().fstatat(directoryFd_, entry.name.data(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        failure = systemFailure(errno);
        return false;
    }
    return isAsListed(entry, {status.st_ino, S_ISLNK(status.st_mode), S_ISDIR(status.st_mode)}, numbersLast_, failure);
}

// Where numbers do not last (FUSE), a reading tells no more than a look at
// each entry, which a network file system answers as fast.
void RenameDirectory::announce(const std::vector<const FoundEntry*>& entries, const DirectoryListing* listing,
                               bool listedInOne, RenameConfirmation::Clock::time_point listedAt) {
    if (numbersLast_) {
        confirmation_.emplace(directoryFd_, entries, listing, listedInOne, listedAt);
    }
}

// 0 or the errno. The kernel's no-replace flag first; where the file system
// refuses it (FUSE answers EINVAL), a look-up that `to` is free and then a
// plain rename. Never a link and unlink: such file systems refuse links too.
// The flag is tried every time, even after a refusal: FUSE answers EEXIST
// before EINVAL, and its look-up of a rename target bypasses the kernel's
// cached names, which a plain look-up would trust even when stale.
int RenameDirectory::renameNoReplace(const char* from, const char* to) {
    if (systemCalls().renameat2(directoryFd_, from, directoryFd_, to, RENAME_NOREPLACE) == 0) {
        return 0;
    }
    const int error = errno;
    if (!flagIsRefused(error)) {
        return error;
    }
    struct stat status {};
    if (systemCalls().fstatat(directoryFd_, to, &status, AT_SYMLINK_NOFOLLOW) == 0) {
        return EEXIST;
    }
    if (errno != ENOENT) {
        return errno;
    }
    return systemCalls().renameat(directoryFd_, from, directoryFd_, to) == 0 ? 0 : errno;
}

StepResult RenameDirectory::step(const char* from, const char* to) {
    const int error = renameNoReplace(from, to);
    switch (error) {
        case 0:
            noteRenamed(from, to);
            return {StepEnd::done, {}};
        case EEXIST:
            return {StepEnd::taken, failureOf(FailureKind::anotherEntry, to)};
        case ENAMETOOLONG:
            return {StepEnd::tooLong, systemFailure(error)};
        default:
            return {StepEnd::failed, systemFailure(error)};
    }
}

// A reading of its own, from the directory's start; the confirmation's
// reading is let go of first, so that the two never hold two descriptors.
bool RenameDirectory::readExactNames(Failure& failure) {
    if (confirmation_) {
        confirmation_->letGo();
    }
    ExactNames& exact = exactNames_.emplace();
    if (!forEachRecord(directoryFd_, [&exact](const dirent64& record) { exact.add(record.d_name); }, failure)) {
        exactNames_.reset();
        return false;
    }
    return true;
}

// A look-up cannot tell: a case-folding file system resolves every
// spelling. Nothing when the directory cannot be read, so that nothing is
// ever attempted that could replace the name.
std::optional<bool> RenameDirectory::holdsExactName(const std::string& name, Failure& failure) {
    if (!exactNames_ && !readExactNames(failure)) {
        return std::nullopt;
    }
    return exactNames_->names.contains(name);
}

void RenameDirectory::noteRenamed(const char* from, const char* to) {
    if (exactNames_) {
        exactNames_->names.erase(from);
        exactNames_->add(to);
    }
}

// Where the file system tells the two spellings apart, their look-ups
// tell which one the entry holds: the new one leads to it, the old one
// nowhere. Where it folds case, both lead to it, and only a reading tells.
bool RenameDirectory::holdsOnlyNewSpelling(const FoundEntry& entry, const std::string& newName) {
    struct stat status {};
    Failure ignored;
    if (systemCalls().fstatat(directoryFd_, newName.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
        !isAsListed(entry, {status.st_ino, S_ISLNK(status.st_mode), S_ISDIR(status.st_mode)}, numbersLast_, ignored)) {
        return false;
    }
    return systemCalls().fstatat(directoryFd_, entry.name.data(), &status, AT_SYMLINK_NOFOLLOW) != 0 &&
           errno == ENOENT;
}

// Some drivers store another spelling than the one asked for; once for the
// run, the names' own look-ups tell where the file system tells the two
// spellings apart, and else a reading of the directory from its start,
// looking only for the new name and the old one, which a driver that keeps
// its spelling leaves (`oldKept`). A reading that does not show the new
// name (a cache that lags behind the rename, or a reading that fails) is
// not taken for a refusal the system never gave: the rename is made unless
// the look-ups cannot tell and the reading shows another spelling. False,
// with the failure, only then.
bool RenameDirectory::confirmSpelling(const FoundEntry& entry, const std::string& newName, bool& oldKept,
                                      RenameResult& result) {
    result.renamed = true;
    if (spellingConfirmed_ || holdsOnlyNewSpelling(entry, newName)) {
        spellingConfirmed_ = true;
        return true;
    }
    if (confirmation_) {
        confirmation_->letGo();
    }
    bool newShown = false;
    const auto look = [&](const dirent64& record) {
        newShown = newShown || newName == record.d_name;
        oldKept = oldKept || entry.name == record.d_name;
    };
    Failure failure;
    const bool read = forEachRecord(directoryFd_, look, failure);
    if (read && newShown) {
        spellingConfirmed_ = true;
        return true;
    }
    if (!read) {
        result.spellingUnconfirmed = std::move(failure);
        return true;
    }
    result.renamed = false;
    result.failure = failureOf(FailureKind::otherSpelling);
    return false;
}

RenameResult RenameDirectory::renameThroughTemporaryName(const FoundEntry& entry, const std::string& newName,
                                                         const TemporaryNameNotice& notice) {
    const auto outcome = tocase::renameThroughTemporaryName(
        std::string(entry.name), newName, NAME_MAX, static_cast<unsigned long>(getpid()),
        [this](const std::string& from, const std::string& to) { return step(from.c_str(), to.c_str()); },
        isContinuationByte,
        [&notice](const std::string& temporary) { notice(temporary); });
    RenameResult result{outcome.renamed, outcome.failure, outcome.strandedName};
    if (result.renamed) {
        bool oldKept = false;
        confirmSpelling(entry, newName, oldKept, result);
    }
    return result;
}

RenameResult RenameDirectory::rename(const FoundEntry& entry, const std::string& newName,
                                     const TemporaryNameNotice& notice) {
    RenameResult result;
    if (!isStillAsListed(entry, result.failure)) {
        return result;
    }
    // Names are kept with a NUL after them, as the system wants them.
    const StepResult direct = step(entry.name.data(), newName.c_str());
    if (direct.end == StepEnd::done) {
        // Taken, and the old spelling kept: round a temporary name, as
        // where the file system folds case.
        bool oldKept = false;
        if (!confirmSpelling(entry, newName, oldKept, result) && oldKept) {
            return renameThroughTemporaryName(entry, newName, notice);
        }
        return result;
    }
    if (direct.end != StepEnd::taken) {
        result.failure = direct.failure;
        return result;
    }
    const std::optional<bool> taken = holdsExactName(newName, result.failure);
    if (!taken) {
        result.failure = during(FailureStep::readingAgain, std::move(result.failure));
        return result;
    }
    if (*taken) {
        result.failure = direct.failure;
        return result;
    }
    return renameThroughTemporaryName(entry, newName, notice);
}

RenameResult RenameDirectory::preview(const FoundEntry& entry, const std::string& newName,
                                      const DirectoryListing& listing) {
    RenameResult refused;
    if (!isStillAsListed(entry, refused.failure)) {
        return refused;
    }
    if (!obstacles_) {
        obstacles_ = findDirectoryObstacles(directoryFd_);
    }
    if (obstacles_->readOnly != 0) {
        return {false, systemFailure(obstacles_->readOnly), {}};
    }
    // The file system's own look-up says whether it can hold the name: in
    // bytes, in UTF-16 units or in anything else.
    struct stat status {};
    if (systemCalls().fstatat(directoryFd_, newName.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 &&
        errno == ENAMETOOLONG) {
        return {false, systemFailure(ENAMETOOLONG), {}};
    }
    if (!exactNames_) {
        ExactNames& exact = exactNames_.emplace();
        exact.names.reserve(listing.size());
        for (const FoundEntry& listed : listing) {
            exact.add(listed.name);
        }
    }
    if (exactNames_->names.contains(newName)) {
        return {false, failureOf(FailureKind::anotherEntry, newName), {}};
    }
    const std::string oldName(entry.name);
    const int obstacle = obstacles_->permission != 0 ? obstacles_->permission
                                                     : findEntryObstacle(directoryFd_, oldName, *obstacles_);
    if (obstacle != 0) {
        return {false, systemFailure(obstacle), {}};
    }
    noteRenamed(oldName.c_str(), newName.c_str());
    return {true, {}, {}};
}

}  // namespace tocase
