#include "journal/run_journal.h"

#include <algorithm>
#include <utility>

namespace tocase {
namespace {

bool begin(RunJournal& journal, Platform& platform, const RunSettings& settings, Failure& failure) {
    if (!journal.store.create(journalStartLines({platform.workingDirectoryIdentity(), platform.workingDirectoryPath(),
                                                 platform.runStartTime(), settings.directoryMode}),
                              failure)) {
        return false;
    }
    if (const std::size_t held = journal.store.heldBeyondKept(); held > 0) {
        platform.writeErrorLine(std::to_string(held) + (held == 1 ? " run" : " runs") +
                                " not fully taken back " + (held == 1 ? "is" : "are") +
                                " kept beside the last 20: /Z from where each was started tries again; to give one "
                                "up, remove its journal in " + journal.store.pathOf(""));
    }
    return true;
}

void fail(RunJournal& journal, Platform& platform, bool anyRecorded, const Failure& failure) {
    platform.writeErrorLine(std::string(anyRecorded ? "the rest of this run" : "this run") +
                            " cannot be taken back: its journal cannot be written: " + describe(failure));
    journal.state = JournalState::failed;
}

// Sorted a 16-bit digit at a time, a digit every number shares passed
// over: a million numbers in milliseconds, a tenth of what comparing takes.
void sortNumbers(std::vector<std::uint64_t>& numbers) {
    constexpr unsigned digitBits = 16;
    // Fewer than the digits can take: compared.
    if (numbers.size() < (std::size_t{1} << digitBits) / 16) {
        std::sort(numbers.begin(), numbers.end());
        return;
    }
    std::vector<std::uint64_t> sorted(numbers.size());
    std::vector<std::size_t> starts(std::size_t{1} << digitBits);
    for (unsigned shift = 0; shift < 64; shift += digitBits) {
        const auto digit = [shift](std::uint64_t number) { return (number >> shift) & 0xFFFF; };
        std::fill(starts.begin(), starts.end(), 0);
        for (const std::uint64_t number : numbers) {
            ++starts[digit(number)];
        }
        if (numbers.empty() || starts[digit(numbers.front())] == numbers.size()) {
            continue;
        }
        std::size_t start = 0;
        for (std::size_t& count : starts) {
            start += std::exchange(count, start);
        }
        for (const std::uint64_t number : numbers) {
            sorted[starts[digit(number)]++] = number;
        }
        numbers.swap(sorted);
    }
}

}  // namespace

// Only another link to the same file shares a number with an entry; a
// directory has none, and "." and ".." name directories.
void RenamePlan::markSharedNumbers(const DirectoryListing& listing) {
    std::vector<std::uint64_t> numbers;
    numbers.reserve(listing.size());
    for (const FoundEntry& entry : listing) {
        if (!entry.isDirectory) {
            numbers.push_back(entry.fileId);
        }
    }
    sortNumbers(numbers);
    if (std::adjacent_find(numbers.begin(), numbers.end()) == numbers.end()) {
        return;
    }
    for (PlannedRename& rename : renames) {
        const auto [first, last] = std::equal_range(numbers.begin(), numbers.end(), rename.entry->fileId);
        rename.sharesNumber = !rename.entry->isDirectory && last - first > 1;
    }
}

bool waitForOtherRuns(JournalStore& store, Platform& platform, Failure& failure) {
    return store.holdRunLock([&platform] { platform.writeErrorLine("waiting for another run of this user to end"); },
                             failure);
}

void endTurn(JournalStore& store) { store.releaseRunLock(); }

// Written a part at a time as it is made, all of it before the first rename:
// a directory of a million renames never holds its whole record in memory.
void journalRenames(RunJournal& journal, Platform& platform, const RunSettings& settings, std::string_view prefix,
                    const std::vector<std::string>& subdirectories, const RenamePlan& plan, std::string_view listedBy) {
    constexpr std::size_t writtenAtOnce = 1 << 20;
    if (journal.state == JournalState::unlocked && journal.unlockedBy.failed()) {
        platform.writeErrorLine("this run cannot be taken back: " + describe(journal.unlockedBy));
        journal.unlockedBy = {};
    }
    if (journal.state == JournalState::failed || journal.state == JournalState::unlocked) {
        return;
    }
    Failure failure;
    const bool anyRecorded = journal.state == JournalState::open;
    if (!anyRecorded && !begin(journal, platform, settings, failure)) {
        fail(journal, platform, false, failure);
        return;
    }
    journal.state = JournalState::open;
    // The outcome of the directory before, if any, goes in the same write.
    std::string text = std::move(journal.pendingOutcome);
    journal.pendingOutcome.clear();
    appendJournalDirectory(text, platform.currentDirectoryIdentity(), prefix, subdirectories);
    for (const PlannedRename& rename : plan.renames) {
        const FoundEntry& entry = *rename.entry;
        appendJournalRename(text, journalKind(entry.isLink, entry.isDirectory), rename.sharesNumber,
                            platform.entryIdentity(entry), entry.name, rename.newName);
        if (text.size() >= writtenAtOnce) {
            if (!journal.store.append(text, failure)) {
                fail(journal, platform, anyRecorded, failure);
                return;
            }
            text.clear();
        }
    }
    appendJournalWhole(text, listedBy);
    journal.lastListedBy = listedBy;
    if (!journal.store.append(text, failure)) {
        fail(journal, platform, anyRecorded, failure);
    }
}

// A stop before it is written loses only this line: a take-back then knows
// a rename not made by its entry still under the old name.
void journalOutcome(RunJournal& journal, const std::vector<std::size_t>& notMade, bool changedAnything) {
    journal.changedAnything = journal.changedAnything || changedAnything;
    if (journal.state == JournalState::open) {
        journal.pendingOutcome = journalUnmadeLine(notMade);
    }
}

// A run whose renames were all refused leaves nothing to take back.
void endJournal(RunJournal& journal, Platform& platform) {
    if (!journal.changedAnything) {
        journal.store.discard();
        journal.state = JournalState::none;
        return;
    }
    Failure failure;
    if (journal.state == JournalState::open && !journal.pendingOutcome.empty()) {
        journal.store.append(journal.pendingOutcome, failure);
    }
    if (!journal.lastListedBy.empty()) {
        platform.waitForStampsAfter(journal.lastListedBy);
    }
}

}  // namespace tocase
