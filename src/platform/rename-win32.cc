#include "platform/rename-win32.h"

#include "platform/nt_files-win32.h"
#include "platform/read_directory-win32.h"
#include "platform/reasons.h"
#include "platform/system_calls-win32.h"
#include "platform/temporary_name.h"
#include "platform/text-win32.h"

namespace tocase {
namespace {

std::string anotherEntry(const std::wstring& name) { return anotherEntryReason(toUtf8(name)); }

StepResult stepResult(NTSTATUS status, const std::wstring& to) {
    if (NT_SUCCESS(status)) {
        return {StepEnd::done, {}};
    }
    if (status == static_cast<NTSTATUS>(0xC0000035L)) {  // STATUS_OBJECT_NAME_COLLISION
        return {StepEnd::taken, anotherEntry(to)};
    }
    // Name too long, a name the system refuses, or (Wine, where the name on
    // disk would be too long in bytes) a name it cannot make: the entry
    // itself is open, in a directory that is open too.
    if (status == static_cast<NTSTATUS>(0xC0000106L) || status == static_cast<NTSTATUS>(0xC0000033L) ||
        status == static_cast<NTSTATUS>(0xC0000034L)) {
        return {StepEnd::tooLong, reasonOfStatus(status)};
    }
    return {StepEnd::failed, reasonOfStatus(status)};
}

// In UTF-16 units, on every file system of the system's own.
constexpr std::size_t longestName = 255;

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

RenameResult RenameDirectory::preview(const FoundEntry& entry, const std::wstring& newName) {
    return renameOrPreview(entry, newName, nullptr);
}

RenameResult RenameDirectory::rename(const FoundEntry& entry, const std::wstring& newName,
                                     const TemporaryNameNotice& notice) {
    return renameOrPreview(entry, newName, &notice);
}

// The entry is opened itself, relative to the directory, and renamed only
// if the system shows it where it was listed: under Wine a link is opened
// through to its target, which shows elsewhere. A preview looks as far as
// that and no further.
RenameResult RenameDirectory::renameOrPreview(const FoundEntry& entry, const std::wstring& newName,
                                              const TemporaryNameNotice* notice) {
    const std::wstring oldName = fromUtf8(entry.name);
    if (const std::optional<std::wstring> twin = twinOf(oldName, newName)) {
        return {false, anotherEntry(*twin), {}};
    }
    // Letters of every script can lengthen a name past what any of the
    // system's file systems holds; said the same way wherever it is.
    if (newName.size() > longestName) {
        return {false, reasonText(ERROR_FILENAME_EXCED_RANGE), {}};
    }
    NTSTATUS status = 0;
    const HANDLE handle = openRelative(directory_, oldName, (notice != nullptr ? DELETE : 0) | FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0, status);
    if (handle == nullptr) {
        return {false, reasonOfStatus(status), {}};
    }
    FileIdentity identity;
    RenameResult result{true, {}, {}};
    // Where the directory is now: others may have moved it meanwhile.
    const std::wstring directoryPath = finalPathOf(directory_);
    const std::wstring entryPath = finalPathOf(handle);
    if (!identify(handle, identity) || entryPath.empty()) {
        result = {false, "the system cannot tell where it is, so it is left", {}};
    } else if (entryPath != pathWithin(directoryPath, oldName)) {
        result = {false, "it is a link, and this system would rename its target instead", {}};
    } else if (((identity.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != entry.isDirectory ||
               ((identity.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) != entry.isLink) {
        result = {false, "it is no longer the entry that was listed", {}};
    } else if (notice != nullptr) {
        result = renameOpenEntry(handle, pathWithin(directoryPath, newName), oldName, newName, *notice);
    }
    CloseHandle(handle);
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
}

// A case-only rename that the file system takes and ignores goes round a
// temporary name; done only once the entry shows the new spelling.
RenameResult RenameDirectory::renameOpenEntry(HANDLE entry, const std::wstring& newPath, const std::wstring& oldName,
                                              const std::wstring& newName, const TemporaryNameNotice& notice) {
    const auto step = [this, entry](const std::wstring&, const std::wstring& to) {
        return stepResult(systemCalls().renameEntry(entry, directory_, to), to);
    };
    const auto showsNewName = [&] { return finalPathOf(entry) == newPath; };
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
    RenameResult result{outcome.renamed && showsNewName(), outcome.reason, toUtf8(outcome.strandedName)};
    if (outcome.renamed && !result.renamed) {
        result.reason = otherSpellingReason;
    }
    return result;
}

}  // namespace tocase
