#include "platform/win32/rename-win32.h"

#include <algorithm>

#include "platform/reasons.h"
#include "platform/temporary_name.h"
#include "platform/win32/nt_files-win32.h"
#include "platform/win32/read_directory-win32.h"
#include "platform/win32/system_calls-win32.h"
#include "platform/win32/text-win32.h"

namespace tocase {
namespace {

std::string anotherEntry(const std::wstring& name) { return anotherEntryReason(toUtf8(name)); }

StepResult stepResult(NTSTATUS status, const std::wstring& to) {
    if (NT_SUCCESS(status)) {
        return {StepEnd::done, {}};
    }
    if (status == statusObjectNameCollision) {
        return {StepEnd::taken, anotherEntry(to)};
    }
    // Name too long, a name the system refuses, or (Wine, where the name on
    // disk would be too long in bytes) a name it cannot make: the entry
    // itself is open, in a directory that is open too.
    if (status == statusNameTooLong || status == statusObjectNameInvalid || status == statusObjectNameNotFound) {
        return {StepEnd::tooLong, reasonOfStatus(status)};
    }
    return {StepEnd::failed, reasonOfStatus(status)};
}

// In UTF-16 units, on every file system of the system's own.
constexpr std::size_t longestName = 255;


std::wstring leafOf(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }

// The system's own name for a handle may drop trailing dots and spaces of
// its parts (Wine does so for some of them).
bool sameName(std::wstring_view shown, std::wstring_view name) {
    const auto trimmed = [](std::wstring_view text) { return text.substr(0, text.find_last_not_of(L". ") + 1); };
    return trimmed(shown) == trimmed(name);
}

bool samePath(std::wstring_view shown, std::wstring_view path) {
    for (;;) {
        const std::size_t shownEnd = std::min(shown.find(L'\\'), shown.size());
        const std::size_t pathEnd = std::min(path.find(L'\\'), path.size());
        if (!sameName(shown.substr(0, shownEnd), path.substr(0, pathEnd))) {
            return false;
        }
        if (shownEnd == shown.size() || pathEnd == path.size()) {
            return shownEnd == shown.size() && pathEnd == path.size();
        }
        shown.remove_prefix(shownEnd + 1);
        path.remove_prefix(pathEnd + 1);
    }
}

// The second half of a surrogate pair belongs to the first.
bool isLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The system's own uppercase, character by character, as its file systems
// and CompareStringOrdinal compare names without regard to case.
extern "C" WCHAR NTAPI RtlUpcaseUnicodeChar(WCHAR c);

std::wstring upcased(const std::wstring& name) {
    std::wstring key(name);
    for (wchar_t& c : key) {
        c = RtlUpcaseUnicodeChar(c);
    }
    return key;
}

bool sameIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

}  // namespace

// Another entry that holds the new name in any spelling: where the file
// system folds case it is the one a rename would meet.
std::optional<std::wstring> RenameDirectory::twinOf(const std::wstring& self, const std::wstring& newName) {
    if (!namesByFold_) {
        std::vector<FoundEntry> entries;
        std::string ignored;
        readDirectory(directory_, entries, ignored);
        namesByFold_.emplace();
        for (const FoundEntry& entry : entries) {
            const std::wstring name = fromUtf8(entry.name);
            namesByFold_->emplace(upcased(name), name);
        }
    }
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
        return {false, std::string(separatorReason), {}};
    }
    if (holdsReplacement(oldName)) {
        return {false, std::string(unreadableNameReason), {}};
    }
    if (const std::optional<std::wstring> twin = twinOf(oldName, newName)) {
        return {false, anotherEntry(*twin), {}};
    }
    // Letters of every script can lengthen a name past what any of the
    // system's file systems holds; said the same way wherever it is.
    if (newName.size() > longestName) {
        return {false, reasonText(ERROR_FILENAME_EXCED_RANGE), {}};
    }
    NTSTATUS status = 0;
    opened.handle = openRelative(directory_, oldName, access | FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0, status);
    if (opened.handle == nullptr) {
        return {false, status == statusObjectNameNotFound ? "it cannot be found by the name it was listed by"
                                                          : reasonOfStatus(status), {}};
    }
    if (!identify(opened.handle, opened.identity)) {
        return {false, reasonText(GetLastError()), {}};
    }
    if (!opensItself(opened.handle, oldName)) {
        return {false, "it is a link, and this system would rename its target instead", {}};
    }
    if (opened.identity.index != entry.fileId ||
        ((opened.identity.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != entry.isDirectory) {
        return {false, std::string(notAsListedReason), {}};
    }
    return {true, {}, {}};
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

// Wine opens a link's target even when asked for the link itself, and
// names the handle by the target's path; the system's name for a handle
// drops a trailing dot or space of its last part.
bool RenameDirectory::opensItself(HANDLE entry, const std::wstring& name) {
    if (shownPath_.empty()) {
        shownPath_ = finalPathOf(directory_);
    }
    const std::wstring shown = finalPathOf(entry);
    const std::size_t separator = shown.find_last_of(L'\\');
    return separator != std::wstring::npos && samePath(shown, pathWithin(shownPath_, name));
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
}

// A case-only rename that the file system takes and ignores goes round a
// temporary name; done only once the entry shows the new spelling. Wine
// carries each step out by path, so a step is taken only while the
// directory's path still leads to it, and an entry left under a temporary
// name is named, however the steps ended.
RenameResult RenameDirectory::renameOpenEntry(HANDLE entry, const FileIdentity& identity, const std::wstring& oldName,
                                              const std::wstring& newName, const TemporaryNameNotice& notice) {
    // A step to another spelling of the same name moves nothing else: Wine
    // finds the entry itself under the new name.
    const auto step = [&](const std::wstring& from, const std::wstring& to) {
        if (sameIgnoringCase(from, to)) {
            return stepResult(systemCalls().renameEntry(entry, directory_, to), to);
        }
        if (const std::string problem = whyDirectoryMoved(); !problem.empty()) {
            return StepResult{StepEnd::failed, problem};
        }
        // Wine reports a rename that its path then no longer leads to as
        // out of memory: it may have been made.
        const NTSTATUS status = systemCalls().renameEntry(entry, directory_, to);
        const StepResult result = stepResult(status, to);
        return result.end == StepEnd::done || status == statusNoMemory ? landed(from, to, identity, result) : result;
    };
    const auto showsNewName = [&] { return sameName(leafOf(finalPathOf(entry)), newName); };
    const StepResult direct = step(oldName, newName);
    if (direct.end == StepEnd::done && showsNewName()) {
        return {true, {}, {}};
    }
    if (direct.end != StepEnd::done && direct.end != StepEnd::taken) {
        return {false, direct.reason, {}};
    }
    const auto outcome = renameThroughTemporaryName(
        oldName, newName, longestName, GetCurrentProcessId(), step, isLowSurrogate,
        [&notice](const std::wstring& temporary) { notice(toUtf8(temporary)); });
    if (outcome.renamed && showsNewName()) {
        return {true, {}, {}};
    }
    RenameResult result{false, outcome.renamed ? std::string(otherSpellingReason) : outcome.reason,
                        toUtf8(outcome.strandedName)};
    // However the steps ended: Wine may report a step failed that it took.
    if (result.strandedName.empty() && !outcome.temporaryName.empty()) {
        const std::wstring now = nameListedAmong(directory_, identity.index, {outcome.temporaryName, oldName});
        if (now != oldName) {
            result.strandedName = toUtf8(outcome.temporaryName);
        }
    }
    return result;
}

// Wine carries a step out by path: where the directory's path led
// elsewhere at that instant, the step moved another folder's entry, and
// that one is moved back.
StepResult RenameDirectory::landed(const std::wstring& from, const std::wstring& to, const FileIdentity& identity,
                                   const StepResult& reported) {
    const std::wstring now = nameListedAmong(directory_, identity.index, {to, from});
    if (now == to) {
        return {StepEnd::done, {}};
    }
    directoryProblem_ = movedElsewhereReason;
    std::string reason(movedElsewhereReason);
    if (now.empty()) {
        // Gone from the directory: the step took it where the path led.
        return {StepEnd::failed, reported.end == StepEnd::done ? reason : reported.reason};
    }
    if (!moveBack(to, from, identity)) {
        reason += "; an entry of what took its place may be left there as '" + toUtf8(to) + "'";
    }
    return {StepEnd::failed, reason};
}

// Found by the directory's path while that leads elsewhere, for a second at
// most, and named back where the system says it is: a path that no longer
// passes through the name that was swapped.
bool RenameDirectory::moveBack(const std::wstring& movedTo, const std::wstring& movedFrom, const FileIdentity& ours) {
    for (int attempt = 0; attempt < 1000; ++attempt, Sleep(1)) {
        NTSTATUS status = 0;
        const HANDLE other = openRelative(nullptr, pathWithin(path_, movedTo), DELETE | FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0, status);
        if (other == nullptr) {
            continue;
        }
        FileIdentity found;
        const bool isOther = identify(other, found) && !(found == ours);
        const std::wstring where = isOther ? finalPathOf(other) : std::wstring();
        const std::size_t separator = where.find_last_of(L'\\');
        const std::wstring back = where.substr(0, separator + 1) + movedFrom;
        const bool movedBack =
            separator != std::wstring::npos && NT_SUCCESS(systemCalls().renameEntry(other, nullptr, back));
        CloseHandle(other);
        return movedBack;
    }
    return false;
}

// Wine renames by the directory's path, which must still lead to it: once
// it does not, nothing more is renamed there.
std::string RenameDirectory::whyDirectoryMoved() {
    if (!directoryIdentity_) {
        directoryIdentity_.emplace();
        if (!identify(directory_, *directoryIdentity_)) {
            directoryProblem_ = reasonText(GetLastError());
        }
    }
    if (directoryProblem_.empty()) {
        directoryProblem_ = whyPathMisleads(path_, *directoryIdentity_);
    }
    return directoryProblem_;
}

}  // namespace tocase
