#include "platform/win32/rename-win32.h"

#include <algorithm>
#include <memory>

#include "platform/failure.h"
#include "platform/temporary_name.h"
#include "platform/win32/nt_files-win32.h"
#include "platform/win32/read_directory-win32.h"
#include "platform/win32/system_calls-win32.h"
#include "platform/win32/text-win32.h"

namespace tocase {
namespace {

Failure anotherEntry(const std::wstring& name) { return failureOf(FailureKind::anotherEntry, toUtf8(name)); }

// Wine opens and renames by path: where a folder's path led elsewhere for
// an instant, a look-up there fails although the folder, and its entry,
// stay where they were.
bool isMovedWhileRenamed(const Failure& failure) { return failure.kind == FailureKind::movedWhileRenamed; }

StepResult stepResult(NTSTATUS status, const std::wstring& to) {
    if (NT_SUCCESS(status)) {
        return {StepEnd::done, {}};
    }
    if (status == statusObjectNameCollision) {
        return {StepEnd::taken, anotherEntry(to)};
    }
    // Unix refuses to rename where it has mounted another file system, as
    // busy, which Wine calls a lock conflict.
    if (isWine() && status == statusFileLockConflict) {
        return {StepEnd::failed, failureOf(FailureKind::anotherFileSystem)};
    }
    // Name too long, a name the system refuses, or (Wine, where the name on
    // disk would be too long in bytes) a name it cannot make: the entry
    // itself is open, in a directory that is open too.
    if (status == statusNameTooLong || status == statusObjectNameInvalid || status == statusObjectNameNotFound) {
        return {StepEnd::tooLong, failureOfStatus(status)};
    }
    return {StepEnd::failed, failureOfStatus(status)};
}

// In UTF-16 units, on every file system of the system's own; in bytes on
// those Wine reaches.
constexpr std::size_t longestName = 255;
constexpr std::size_t longestUnixName = 255;


std::wstring leafOf(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }
std::wstring folderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\') + 1); }

// Texts joined.
std::string joined(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::string_view part : parts) {
        text.append(part);
    }
    return text;
}

// A path of the system's own form as a person types it.
std::string forPerson(const std::wstring& path) {
    if (path.starts_with(L"\\??\\UNC\\")) {
        return joined({"\\\\", toUtf8(path.substr(8))});
    }
    return toUtf8(path.starts_with(L"\\??\\") ? path.substr(4) : path);
}

// Said of `name` where a look-up of it found another entry that cannot be
// named: Wine finds a name in any spelling, links that lead nowhere (which
// it lists nowhere) included.
Failure heldInSomeSpelling(const std::wstring& name, FailureKind by, long code = 0) {
    Failure failure = failureOf(by, toUtf8(name));
    failure.code = code;
    return failure;
}

bool isMovedElsewhere(const Failure& failure) { return failure.kind == FailureKind::movedElsewhere; }

// The second half of a surrogate pair belongs to the first.
bool isLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The system's own uppercase, character by character, as its file systems
// and CompareStringOrdinal compare names without regard to case.
extern "C" WCHAR NTAPI RtlUpcaseUnicodeChar(WCHAR c);

extern "C" WCHAR NTAPI RtlDowncaseUnicodeChar(WCHAR c);

std::wstring upcased(const std::wstring& name) {
    std::wstring key(name);
    for (wchar_t& c : key) {
        c = RtlUpcaseUnicodeChar(c);
    }
    return key;
}

// A spelling of the name that differs from it, so that a look-up of it
// goes over the directory's entries; none where the name has no case.
std::optional<std::wstring> otherSpellingOf(const std::wstring& name) {
    std::wstring other = upcased(name);
    if (other == name) {
        for (wchar_t& c : other) {
            c = RtlDowncaseUnicodeChar(c);
        }
    }
    return other == name ? std::nullopt : std::optional(other);
}

bool sameIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

}  // namespace

// The directory's names by their uppercase form, and how many read alike
// once trailing dots and spaces are dropped, read once.
void RenameDirectory::readNames() {
    if (namesByFold_) {
        return;
    }
    DirectoryListing entries;
    Failure ignored;
    readDirectory(directory_, entries, ignored);
    namesByFold_.emplace();
    for (const FoundEntry& entry : entries) {
        const std::wstring name = fromUtf8(entry.name);
        namesByFold_->emplace(upcased(name), name);
        ++namesAlike_[std::wstring(withoutTrailingDots(name))];
    }
}

// Another entry that holds the new name in any spelling: where the file
// system folds case it is the one a rename would meet.
std::optional<std::wstring> RenameDirectory::twinOf(const std::wstring& self, const std::wstring& newName) {
    readNames();
    const auto [first, last] = namesByFold_->equal_range(upcased(newName));
    for (auto found = first; found != last; ++found) {
        if (found->second != self && sameIgnoringCase(found->second, newName)) {
            return found->second;
        }
    }
    return std::nullopt;
}

// The entry is opened itself, relative to the directory, and may be
// renamed only if it is the very entry listed: under Wine a link is opened
// through to its target, and a name the system cannot hand back exactly
// opens nothing or another entry. `renamed` in the result says whether it
// may; the entry is then open in `opened`, which the caller closes.
RenameResult RenameDirectory::openAsListed(const FoundEntry& entry, const std::wstring& newName, ACCESS_MASK access,
                                           OpenedEntry& opened) {
    const std::wstring oldName = fromUtf8(entry.name);
    if (holdsSeparator(oldName)) {
        return {false, failureOf(FailureKind::separatorInName), {}};
    }
    if (holdsReplacement(oldName)) {
        return {false, failureOf(FailureKind::unreadableName), {}};
    }
    if (const std::optional<std::wstring> twin = twinOf(oldName, newName)) {
        return {false, anotherEntry(*twin), {}};
    }
    // Letters of every script can lengthen a name past what any of the
    // system's file systems holds; said the same way wherever it is.
    if (newName.size() > longestName) {
        return {false, systemFailure(ERROR_FILENAME_EXCED_RANGE), {}};
    }
    // Wine names a handle by the path it took when it opened it: one opened
    // while the directory's path led elsewhere for an instant is opened again.
    Failure failure;
    for (int attempt = 0; attempt < 2 && (attempt == 0 || failure.kind == FailureKind::linkWouldBeFollowed);
         ++attempt) {
        if (opened.handle != nullptr) {
            CloseHandle(opened.handle);
        }
        NTSTATUS status = 0;
        opened.handle = openRelative(directory_, oldName, access | FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0, status);
        if (opened.handle == nullptr) {
            // Wine opens by the directory's Unix path, which may lead nowhere now.
            if (Failure problem = whyDirectoryMoved(); problem.failed()) {
                return {false, std::move(problem), {}};
            }
            return {false, whyNotOpened(entry, status), {}};
        }
        if (!identify(opened.handle, opened.identity)) {
            // Wine asks for the volume by the Unix path too: the entry is
            // open, so only a path that led elsewhere at that instant fails.
            Failure problem = whyDirectoryMoved();
            return {false, problem.failed() ? std::move(problem)
                           : isWine()       ? failureOf(FailureKind::movedWhileRenamed)
                                            : systemFailure(GetLastError()), {}};
        }
        // What Wine opens there is what is mounted: the folder itself is the
        // mount point, which Unix does not rename.
        if (entry.isDirectory && isUnixMountPointHere(oldName, opened.identity)) {
            return {false, failureOf(FailureKind::anotherFileSystem), {}};
        }
        failure = whyNotItself(entry, opened);
    }
    if (failure.failed()) {
        return {false, std::move(failure), {}};
    }
    if (opened.identity.index != entry.fileId ||
        ((opened.identity.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != entry.isDirectory) {
        return {false, failureOf(FailureKind::notAsListed), {}};
    }
    // A link that leads nowhere is listed nowhere, but Wine finds it under
    // the new name in any spelling, and would replace it.
    if (const StepResult free = whetherFree(newName, opened.identity); free.end != StepEnd::done) {
        return {false, free.failure, {}};
    }
    return {true, {}, {}};
}

// Why the listed entry did not open by its name. Wine opens by path: where
// the folder's path led elsewhere for an instant, the entry is still listed
// where it was.
Failure RenameDirectory::whyNotOpened(const FoundEntry& entry, NTSTATUS status) {
    if (status == statusObjectNameInvalid) {
        return failureOf(FailureKind::refusedName);
    }
    const bool notFound = status == statusObjectNameNotFound || status == statusNoSuchFile ||
                          status == statusObjectPathNotFound || status == statusInvalidHandle;
    const std::wstring name = fromUtf8(entry.name);
    if (notFound && isWine() && nameListedAmong(directory_, entry.fileId, {name}) == name) {
        return failureOf(FailureKind::movedWhileRenamed);
    }
    return notFound ? failureOf(FailureKind::notFoundByListedName) : failureOfStatus(status);
}

// A folder where Unix has mounted anything, under Wine: one of another
// volume, or the mount point of a bind mount of the same file system.
bool RenameDirectory::isUnixMountPointHere(const std::wstring& name, const FileIdentity& opened) {
    if (!isWine()) {
        return false;
    }
    const std::optional<FileIdentity> own = ownIdentity();
    return own && (opened.volume != own->volume || isUnixMountPoint(*own, name));
}

// Wine opens a link's target even when asked for the link itself, and
// names the handle by the target's path, the trailing dots and spaces of
// its parts dropped. A link the listing marks is the link itself only where
// the handle is a reparse point too; any other is the entry only where the
// handle's path is the directory's and the entry's name, and no other path
// that reads the same leads to the same file.
Failure RenameDirectory::whyNotItself(const FoundEntry& entry, const OpenedEntry& opened) {
    if (entry.isLink && (opened.identity.attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return failureOf(FailureKind::linkWouldBeFollowed);
    }
    if (shownPath_.empty()) {
        shownPath_ = finalPathOf(directory_);
    }
    const std::wstring name = fromUtf8(entry.name);
    const std::wstring shown = finalPathOf(opened.handle);
    if (!samePathButTrailingDots(shown, pathWithin(shownPath_, name))) {
        Failure problem = whyDirectoryMoved();
        return problem.failed() ? problem : failureOf(FailureKind::linkWouldBeFollowed);
    }
    if (!directoryReadsAlike_) {
        directoryReadsAlike_ = spellingsOf(shownPath_, 1).size() > 1;
    }
    if (!*directoryReadsAlike_ && namesAlike_[std::wstring(withoutTrailingDots(name))] < 2) {
        return {};
    }
    int holding = 0;
    for (const std::wstring& spelling : spellingsOf(shown, 16)) {
        NTSTATUS status = 0;
        const HANDLE other = openRelative(nullptr, spelling, FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0, status);
        FileIdentity found;
        holding += other != nullptr && identify(other, found) && found == opened.identity;
        if (other != nullptr) {
            CloseHandle(other);
        }
    }
    return holding == 1 ? Failure() : failureOf(FailureKind::readsLikeLink);
}

// A preview looks as far as the rename would before its first step.
RenameResult RenameDirectory::preview(const FoundEntry& entry, const std::wstring& newName) {
    OpenedEntry opened;
    const RenameResult result = openAsListed(entry, newName, 0, opened);
    if (opened.handle != nullptr) {
        CloseHandle(opened.handle);
    }
    if (result.renamed) {
        noteRenamed(fromUtf8(entry.name), newName);
    }
    return result;
}

RenameResult RenameDirectory::rename(const FoundEntry& entry, const std::wstring& newName,
                                     const TemporaryNameNotice& notice) {
    OpenedEntry opened;
    RenameResult result = openAsListed(entry, newName, DELETE, opened);
    const std::wstring oldName = fromUtf8(entry.name);
    if (result.renamed) {
        result = renameOpenEntry(opened.handle, opened.identity, oldName, newName, notice);
    }
    if (opened.handle != nullptr) {
        CloseHandle(opened.handle);
    }
    if (result.renamed) {
        noteRenamed(oldName, newName);
    }
    return result;
}

// A rename may change a name's uppercase form (straße to STRASSE): the
// names the next renames would meet are the ones made here.
void RenameDirectory::noteRenamed(const std::wstring& oldName, const std::wstring& newName) {
    const auto [first, last] = namesByFold_->equal_range(upcased(oldName));
    for (auto found = first; found != last; ++found) {
        if (found->second == oldName) {
            namesByFold_->erase(found);
            break;
        }
    }
    namesByFold_->emplace(upcased(newName), newName);
    --namesAlike_[std::wstring(withoutTrailingDots(oldName))];
    ++namesAlike_[std::wstring(withoutTrailingDots(newName))];
}

// Wine's no-replace rename looks for the new name through links, so it
// replaces a link that leads nowhere, which it lists nowhere either but
// opens as no such file: a step is taken only to a name that opens nothing,
// or the entry itself in another spelling.
StepResult RenameDirectory::whetherFree(const std::wstring& name, const FileIdentity& self) {
    NTSTATUS status = 0;
    const HANDLE found = openRelative(directory_, name, FILE_READ_ATTRIBUTES, anySharing, 0, status);
    if (found == nullptr) {
        if (status == statusObjectNameNotFound) {
            return {StepEnd::done, {}};
        }
        return {StepEnd::taken, status == statusNoSuchFile
                                    ? heldInSomeSpelling(name, FailureKind::heldByLinkLeadingNowhere)
                                    : heldInSomeSpelling(name, FailureKind::heldByUnopenable,
                                                         failureOfStatus(status).code)};
    }
    FileIdentity identity;
    const bool itself = identify(found, identity) && identity == self;
    const std::wstring shown = itself ? std::wstring() : finalPathOf(found);
    CloseHandle(found);
    if (itself) {
        return {StepEnd::done, {}};
    }
    // Named as it is spelt, where it is an entry of the directory; Wine
    // names what a link leads to by the link's target.
    if (shownPath_.empty()) {
        shownPath_ = finalPathOf(directory_);
    }
    const std::wstring folder = folderOf(shown);
    const bool here = !folder.empty() && samePathButTrailingDots(folder.substr(0, folder.size() - 1), shownPath_);
    return {StepEnd::taken, here ? anotherEntry(leafOf(shown)) : heldInSomeSpelling(name, FailureKind::heldByLink)};
}

// Before the first of two steps, the old name is looked up in another
// spelling too, over the directory's entries: one that is not the entry
// itself would keep it from being put back. The new name was looked up as
// the entry was opened, and the second step looks it up again: Wine lists
// no link that leads nowhere, and finds the entry itself first where it
// comes first, so only once the entry has left can a look-up see them all.
Failure RenameDirectory::whyNotTwoSteps(const std::wstring& oldName, const std::wstring& newName,
                                            const FileIdentity& identity) {
    const std::optional<std::wstring> other = otherSpellingOf(oldName);
    if (!other || sameIgnoringCase(oldName, newName)) {
        return {};
    }
    const StepResult free = whetherFree(*other, identity);
    return free.end == StepEnd::done ? Failure() : free.failure;
}

// Under Wine the entry takes its own name back exactly, by its Unix path:
// by its Windows name, Wine would find any other spelling of it first, a
// link that leads nowhere included, and the step would replace that one.
// The name is free where the directory's own handle lists no other entry
// under it exactly; a step refused all the same met another folder's
// entry, where the path led at that instant, and one that failed as the
// path led nowhere left the entry where it was: each is tried again once
// the path leads back, through a handle opened anew by the name the entry
// has now, as Wine may have lost the old one's path for good.
StepResult RenameDirectory::putBack(HANDLE entry, const std::wstring& from, const std::wstring& oldName,
                                    const FileIdentity& identity) {
    if (unixPath_.empty()) {
        unixPath_ = unixFormOf(path_);
    }
    if (unixPath_.empty()) {
        return {StepEnd::failed, systemFailure(ERROR_PATH_NOT_FOUND)};
    }
    std::unique_ptr<void, decltype(&CloseHandle)> reopened(nullptr, &CloseHandle);
    for (int attempt = 0;; ++attempt) {
        bool held = false;
        forEachListed(directory_, oldName, [&](std::wstring_view name, ULONGLONG index, DWORD) {
            held = name == oldName && index != identity.index;
            return !held;
        });
        if (held) {
            return {StepEnd::taken, anotherEntry(oldName)};
        }
        const HANDLE renamed = reopened ? reopened.get() : entry;
        const NTSTATUS status = systemCalls().renameEntry(renamed, nullptr, pathWithin(unixPath_, oldName));
        const StepResult result = landed(renamed, from, oldName, identity, status);
        const bool again = result.end == StepEnd::taken || isMovedWhileRenamed(result.failure);
        if (!again || attempt == 20) {
            return result;
        }
        if (Failure problem = whyPathStillMisleads(); problem.failed()) {
            return {StepEnd::failed, std::move(problem)};
        }
        NTSTATUS opened = 0;
        FileIdentity found;
        reopened.reset(openRelative(directory_, from, DELETE | FILE_READ_ATTRIBUTES, anySharing, 0, opened));
        if (reopened && (!identify(reopened.get(), found) || !(found == identity))) {
            reopened.reset();
        }
    }
}

// A case-only rename that the file system takes and ignores goes round a
// temporary name; done only once the directory lists the entry under the
// new spelling. Wine carries each step out by path, so a step is taken only
// while the directory's path still leads to it; however the steps ended,
// the directory is asked where its entry is, and an entry left under a
// temporary name is named with its folder.
RenameResult RenameDirectory::renameOpenEntry(HANDLE entry, const FileIdentity& identity, const std::wstring& oldName,
                                              const std::wstring& newName, const TemporaryNameNotice& notice) {
    const auto step = [&](const std::wstring& from, const std::wstring& to) {
        if (to == oldName && isWine()) {
            if (Failure problem = whyPathStillMisleads(); problem.failed()) {
                return StepResult{StepEnd::failed, std::move(problem)};
            }
            return putBack(entry, from, oldName, identity);
        }
        if (const StepResult free = whetherFree(to, identity); free.end != StepEnd::done) {
            return free;
        }
        // A step to another spelling of the same name moves nothing else:
        // Wine finds the entry itself under the new name.
        if (sameIgnoringCase(from, to)) {
            return stepResult(systemCalls().renameEntry(entry, directory_, to), to);
        }
        if (Failure problem = to == oldName ? whyPathStillMisleads() : whyDirectoryMoved(); problem.failed()) {
            return StepResult{StepEnd::failed, std::move(problem)};
        }
        return landed(entry, from, to, identity, systemCalls().renameEntry(entry, directory_, to));
    };
    // Wine takes a rename to another spelling of the same name for a rename
    // to itself, and leaves the name as it was.
    const bool mayBeDirect = !isWine() || !sameIgnoringCase(oldName, newName);
    const StepResult direct = mayBeDirect ? step(oldName, newName) : StepResult{StepEnd::taken, {}};
    std::wstring temporary;
    Failure failure = direct.failure;
    if (direct.end == StepEnd::done || direct.end == StepEnd::taken) {
        if (direct.end == StepEnd::done && withoutTrailingDots(leafOf(finalPathOf(entry))) == withoutTrailingDots(newName) &&
            nameListedAmong(directory_, identity.index, {newName}) == newName) {
            return {true, {}, {}};
        }
        if (Failure problem = whyNotTwoSteps(oldName, newName, identity); problem.failed()) {
            return {false, std::move(problem), {}};
        }
        const auto outcome = renameThroughTemporaryName(
            oldName, newName, longestName, GetCurrentProcessId(), step, isLowSurrogate,
            [&notice](const std::wstring& name) { notice(toUtf8(name)); });
        temporary = outcome.temporaryName;
        failure = outcome.renamed ? failureOf(FailureKind::otherSpelling) : outcome.failure;
    }
    // However the steps ended: Wine may report a step failed that it took.
    const std::wstring now = nameListedAmong(directory_, identity.index, {newName, oldName, temporary});
    RenameResult result{now == newName, now == newName ? Failure() : failure, {}};
    if (now.empty()) {
        // A step took the entry out of the directory, where the path led at
        // that instant; Wine names it by where it went.
        const std::wstring where = finalPathOf(entry);
        result.strandedName = toUtf8(where.empty() ? temporary : leafOf(where));
        result.strandedFolder = where.empty() ? joined({"wherever '", forPerson(path_), "' led for an instant"})
                                              : joined({"'", forPerson(folderOf(where)), "'"});
    } else if (now == temporary) {
        result.strandedName = toUtf8(temporary);
    }
    return result;
}

// Wine carries a step out by path: where the directory's path led
// elsewhere at that instant, the step renamed another folder's entry, and
// that one is named back.
StepResult RenameDirectory::landed(HANDLE entry, const std::wstring& from, const std::wstring& to,
                                   const FileIdentity& identity, NTSTATUS status) {
    const std::wstring now = nameListedAmong(directory_, identity.index, {to, from});
    if (now == to) {
        return {StepEnd::done, {}};
    }
    // Wine reports a rename that its path then no longer leads to as out of
    // memory: it may have been made, elsewhere. One whose path led where the
    // entry is not fails as not found, as one to a name longer than a Unix
    // name holds does.
    const bool notFound = status == statusObjectNameNotFound || status == statusObjectPathNotFound;
    // One whose entry's own path led nowhere at that instant, the folder
    // moved away and back, fails as no such file, or, where Wine could not
    // follow the handle's path, as an invalid handle or a handle of the
    // wrong kind: nothing moved.
    const bool pathLedNowhere =
        status == statusNoSuchFile || status == statusInvalidHandle || status == statusObjectTypeMismatch;
    if (now == from && isWine() && pathLedNowhere) {
        directoryProblem_ = failureOf(FailureKind::movedElsewhere);
        return {StepEnd::failed, failureOf(FailureKind::movedWhileRenamed)};
    }
    if (now == from && !NT_SUCCESS(status) && status != statusNoMemory &&
        !(notFound && toUtf8(to).size() <= longestUnixName)) {
        return stepResult(status, to);
    }
    directoryProblem_ = failureOf(FailureKind::movedElsewhere);
    return {StepEnd::failed, now == from ? moveBack(entry, to, from, identity) : directoryProblem_};
}

// Where the step went: by the directory's path, while it still leads
// there; by the path Wine names the entry's handle with, which it took just
// after the step; or through a link to a folder beside the directory or
// beside one above it, which the path may have been swapped with. Found
// there, the other folder's entry is named back where the system says it
// is. Said with its folder when it cannot be; the directory is said to have
// moved either way.
Failure RenameDirectory::moveBack(HANDLE entry, const std::wstring& movedTo, const std::wstring& movedFrom,
                                      const FileIdentity& ours) {
    const std::wstring named = finalPathOf(entry);
    // Looked for again for a second at most, as the path may lead there
    // again, or the link be back beside the folder.
    for (int attempt = 0; attempt < 500; ++attempt, Sleep(2)) {
        std::vector<std::wstring> places{pathWithin(path_, movedTo), named};
        for (std::size_t end = path_.find_last_of(L'\\'); end != std::wstring::npos && end > 4;
             end = path_.find_last_of(L'\\', end - 1)) {
            const std::wstring above = path_.substr(0, end);
            const std::size_t next = path_.find(L'\\', end + 1);
            const std::wstring below = next == std::wstring::npos ? std::wstring() : path_.substr(next);
            NTSTATUS status = 0;
            const HANDLE listing = openRelative(nullptr, above, FILE_LIST_DIRECTORY,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                FILE_DIRECTORY_FILE, status);
            if (listing != nullptr) {
                forEachListed(listing, L"*", [&](std::wstring_view name, ULONGLONG, DWORD attributes) {
                    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                        places.push_back(pathWithin(pathWithin(above, std::wstring(name)) + below, movedTo));
                    }
                    return places.size() < 256;
                });
                CloseHandle(listing);
            }
        }
        for (const std::wstring& place : places) {
            NTSTATUS status = 0;
            const HANDLE other = leafOf(place) == movedTo
                                     ? openRelative(nullptr, place, DELETE | FILE_READ_ATTRIBUTES,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0, status)
                                     : nullptr;
            FileIdentity found;
            if (other == nullptr || !identify(other, found) || found == ours) {
                if (other != nullptr) {
                    CloseHandle(other);
                }
                continue;
            }
            const std::wstring folder = folderOf(finalPathOf(other));
            const bool movedBack =
                !folder.empty() && NT_SUCCESS(systemCalls().renameEntry(other, nullptr, folder + movedFrom));
            CloseHandle(other);
            Failure failure = failureOf(movedBack ? FailureKind::movedElsewhere : FailureKind::movedLeavingEntry,
                                        movedBack ? std::string() : toUtf8(movedTo));
            failure.where = movedBack ? std::string() : forPerson(folder);
            return failure;
        }
    }
    Failure failure = failureOf(FailureKind::movedMaybeLeavingEntry, toUtf8(movedTo));
    failure.where = forPerson(path_);
    return failure;
}

// Putting an entry back under its own name is worth a wait, a tenth of a
// second at most, for a path that led elsewhere for an instant.
Failure RenameDirectory::whyPathStillMisleads() {
    Failure problem = whyDirectoryMoved();
    for (int wait = 0; wait < 50 && isMovedElsewhere(problem); ++wait) {
        Sleep(2);
        problem = whyPathMisleads(path_, *directoryIdentity_);
    }
    return problem;
}

// Wine renames by the directory's path, which must still lead to it: once
// it does not, nothing more is renamed there.
Failure RenameDirectory::whyDirectoryMoved() {
    if (!ownIdentity()) {
        directoryProblem_ = systemFailure(GetLastError());
    }
    if (!directoryProblem_.failed()) {
        directoryProblem_ = whyPathMisleads(path_, *directoryIdentity_);
    }
    return directoryProblem_;
}

// The directory's own identity, asked of its handle once.
const std::optional<FileIdentity>& RenameDirectory::ownIdentity() {
    if (!identityAsked_) {
        identityAsked_ = true;
        if (FileIdentity identity; identify(directory_, identity)) {
            directoryIdentity_ = identity;
        }
    }
    return directoryIdentity_;
}

}  // namespace tocase
