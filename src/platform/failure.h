#ifndef TOCASE_PLATFORM_FAILURE_H
#define TOCASE_PLATFORM_FAILURE_H

#include <cstdint>
#include <string>
#include <utility>

namespace tocase {

// What went wrong, as the call that met it knows it. It travels unchanged
// up to whoever shows it; `describe` alone puts it into words, so that no
// layer on the way says something else in its place.
enum class FailureKind : std::uint8_t {
    none,
    system,                  // the system's own error, in `code`
    anotherEntry,            // another entry holds the name `subject`
    heldByLinkLeadingNowhere,  // a look-up of `subject`, in any spelling, finds a link that leads nowhere
    heldByLink,              // ... a link to elsewhere
    heldByUnopenable,        // ... an entry that does not open, for `code`
    notTheListedFile,        // what is under the name listed is not the file, directory or link listed
    notTheListedDirectory,
    notTheListedLink,
    notAsListed,             // an entry or directory found by its listed name to be another
    notFoundByListedName,
    movedElsewhere,          // a directory no longer where the walk entered it
    movedLeavingEntry,       // ... and an entry of `where`, a folder, is left under the name `subject`
    movedMaybeLeavingEntry,  // ... and one of wherever `where`, a path, led may be
    movedWhileRenamed,       // a folder moved away and back while its entry was renamed
    anotherFileSystem,       // a directory where another file system is mounted
    separatorInName,         // a name a system would read as a path
    unreadableName,          // a name a system could not read whole
    refusedName,             // a name a system refuses
    linkWouldBeFollowed,     // a link the system would rename the target of
    readsLikeLink,           // another path that reads alike leads to the same file
    pathTooDeep,             // a path longer than the system can follow
    otherSpelling,           // renamed, but under another spelling than the one asked for
    folderReadsAlike,        // the folder run in reads like another
    startedElsewhere,        // Wine started the program in its Windows folder instead of `subject`
    startedElsewhereUnknown, // ... and where it was run from is not known
    noHomeDirectory,         // nowhere to keep journals
    noLocalAppData,
    directoryNotPrivate,     // `subject`, a directory, may be written by others
    folderNotPrivate,
    fileNotPrivate,          // a journal others may read or write
    isLink,                  // the lock is a link
    isLinkLeadingNowhere,
    notPlainOwnFile,         // the lock is not a plain file of the user's own
    startNotWhole,           // a journal whose start does not read
    // Why a rename is not taken back, beyond the kinds above.
    renamedSince,            // under a third name, `subject`
    recordUnread,
    directoryGone,
    replaced,
    vanished,
    notPlainName,
};

// What was under way, where the words name it before the failure itself.
enum class FailureStep : std::uint8_t {
    none,
    readingAgain,         // the directory, read again
    readingItsDirectory,  // the directory of an entry to put back
    keepingJournals,      // the directory the journals are kept in
    takingTurns,          // the lock runs take turns on, at `where`
};

struct Failure {
    FailureKind kind = FailureKind::none;
    long code = 0;              // the system's error number: errno, or a Windows error code
    std::string subject = {};   // a name or path the kind speaks of
    std::string where = {};     // a path the step or the kind speaks of besides
    FailureStep step = FailureStep::none;

    bool failed() const { return kind != FailureKind::none; }
};

inline Failure systemFailure(long code) { return {FailureKind::system, code}; }
inline Failure failureOf(FailureKind kind, std::string subject = {}) { return {kind, 0, std::move(subject)}; }

// The same failure, met while `step` was under way.
inline Failure during(FailureStep step, Failure failure, std::string where = {}) {
    failure.step = step;
    if (!where.empty()) {
        failure.where = std::move(where);
    }
    return failure;
}

// The words for a person, each written once here.
std::string describe(const Failure& failure);

// The system's own words for its error number; each system says them.
std::string systemErrorText(long code);

}  // namespace tocase

#endif
