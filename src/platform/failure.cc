#include "platform/failure.h"

#include <string_view>

namespace tocase {
namespace {

std::string quoted(std::string_view text) {
    std::string quoted = "'";
    quoted.append(text).append("'");
    return quoted;
}

std::string heldInSomeSpelling(const Failure& failure, std::string_view by) {
    return quoted(failure.subject) + " is held, in some spelling, by " + std::string(by);
}

std::string kindWords(const Failure& failure) {
    switch (failure.kind) {
        case FailureKind::none:
            return {};
        case FailureKind::system:
            return failure.subject.empty() ? systemErrorText(failure.code)
                                           : quoted(failure.subject) + ": " + systemErrorText(failure.code);
        case FailureKind::anotherEntry:
            return quoted(failure.subject) + " is another entry";
        case FailureKind::heldByLinkLeadingNowhere:
            return heldInSomeSpelling(failure, "a link that leads nowhere");
        case FailureKind::heldByLink:
            return heldInSomeSpelling(failure, "a link");
        case FailureKind::heldByUnopenable:
            return heldInSomeSpelling(failure, "an entry that cannot be opened: " + systemErrorText(failure.code));
        case FailureKind::notTheListedFile:
            return "it is no longer the file that was listed";
        case FailureKind::notTheListedDirectory:
            return "it is no longer the directory that was listed";
        case FailureKind::notTheListedLink:
            return "it is no longer the link that was listed";
        case FailureKind::notAsListed:
            return "it is no longer the entry that was listed";
        case FailureKind::notFoundByListedName:
            return "it cannot be found by the name it was listed by";
        case FailureKind::movedElsewhere:
            return "it was moved elsewhere during the run";
        case FailureKind::movedLeavingEntry:
            return "it was moved elsewhere during the run; an entry of " + quoted(failure.where) +
                   " is left there under the name " + quoted(failure.subject);
        case FailureKind::movedMaybeLeavingEntry:
            return "it was moved elsewhere during the run; an entry of wherever " + quoted(failure.where) +
                   " led for an instant may be left there under the name " + quoted(failure.subject);
        case FailureKind::movedWhileRenamed:
            return "its folder was moved while it was renamed";
        case FailureKind::anotherFileSystem:
            return "another file system is mounted there";
        case FailureKind::separatorInName:
            return "its name holds a separator, which this system would read as a path";
        case FailureKind::unreadableName:
            return "its name holds U+FFFD in place of what the system could not read, so it cannot be renamed "
                   "exactly";
        case FailureKind::refusedName:
            return "this system refuses its name";
        case FailureKind::linkWouldBeFollowed:
            return "it is a link, and this system would rename its target instead";
        case FailureKind::readsLikeLink:
            return "it cannot be told from a link: another path that differs only by trailing dots or spaces, which "
                   "this system drops, leads to the same file";
        case FailureKind::pathTooDeep:
            return "its path is longer than this system can follow";
        case FailureKind::otherSpelling:
            return "the file system kept another spelling";
        case FailureKind::folderReadsAlike:
            return "the folder it runs in cannot be told from another whose name differs only by trailing dots or "
                   "spaces, which this system drops";
        case FailureKind::startedElsewhere:
            return "Wine started it in the Windows directory instead of " + quoted(failure.subject) +
                   ", the folder it was run from";
        case FailureKind::startedElsewhereUnknown:
            return "Wine started it in the Windows directory, and the folder it was run from is not known";
        case FailureKind::noHomeDirectory:
            return "there is no home directory to keep it in";
        case FailureKind::noLocalAppData:
            return "there is no local application data folder to keep it in";
        case FailureKind::directoryNotPrivate:
            return quoted(failure.subject) + " is not a directory of the user's own that no one else may write in";
        case FailureKind::folderNotPrivate:
            return quoted(failure.subject) + " is not a folder of the user's own in which no one else may write";
        case FailureKind::fileNotPrivate:
            return "it is not a file of the user's own that no one else may read or write";
        case FailureKind::isLink:
            return "it is a link";
        case FailureKind::isLinkLeadingNowhere:
            return "it is a link that leads nowhere";
        case FailureKind::notPlainOwnFile:
            return "it is not a plain file of this user's own";
        case FailureKind::startNotWhole:
            return "its start is not whole";
        case FailureKind::renamedSince:
            return "it has been renamed since, to " + quoted(failure.subject);
        case FailureKind::recordUnread:
            return "its record does not read";
        case FailureKind::directoryGone:
            return "its directory is no longer where the run renamed in it";
        case FailureKind::replaced:
            return "another entry has taken its place";
        case FailureKind::vanished:
            return "it is no longer there";
        case FailureKind::notPlainName:
            return "the journal does not hold a plain name for it";
    }
    return {};
}

std::string stepWords(const Failure& failure) {
    switch (failure.step) {
        case FailureStep::none:
            return {};
        case FailureStep::readingAgain:
            return "the directory cannot be read again: ";
        case FailureStep::readingItsDirectory:
            return "its directory cannot be read: ";
        case FailureStep::keepingJournals:
            return "the journals cannot be kept: ";
        case FailureStep::takingTurns:
            return "runs of this user cannot take turns on the lock " + quoted(failure.where) + ": ";
    }
    return {};
}

}  // namespace

std::string describe(const Failure& failure) { return stepWords(failure) + kindWords(failure); }

}  // namespace tocase
