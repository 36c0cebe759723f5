#include "engine/run_journal.h"

namespace tocase {
namespace {

bool begin(Platform& platform, const RunSettings& settings, std::string& reason) {
    return platform.createJournal(journalStartLines({platform.workingDirectoryIdentity(),
                                                     platform.workingDirectoryPath(), platform.runStartTime(),
                                                     settings.directoryMode}),
                                  reason);
}

void fail(RunJournal& journal, Platform& platform, bool firstDirectory, std::string_view reason) {
    journal.failed = true;
    platform.writeErrorLine(std::string(firstDirectory ? "this run" : "the rest of this run") +
                            " cannot be taken back: its journal cannot be written: " + std::string(reason));
}

}  // namespace

void waitForOtherRuns(Platform& platform) {
    std::string reason;
    platform.holdRunLock([&platform] { platform.writeErrorLine("waiting for another run of this user to end"); },
                         reason);
}

void endTurn(Platform& platform) { platform.releaseRunLock(); }

// Written a part at a time as it is made, all of it before the first rename:
// a directory of a million renames never holds its whole record in memory.
void journalRenames(RunJournal& journal, Platform& platform, const RunSettings& settings, std::string_view prefix,
                    const std::vector<std::string>& subdirectories, const RenamePlan& plan) {
    constexpr std::size_t writtenAtOnce = 1 << 20;
    if (journal.failed) {
        return;
    }
    std::string reason;
    const bool firstDirectory = journal.state == JournalState::none;
    if (firstDirectory && !begin(platform, settings, reason)) {
        fail(journal, platform, true, reason);
        return;
    }
    // The outcome of the directory before, if any, goes in the same write.
    std::string text = std::move(journal.pendingOutcome);
    journal.pendingOutcome.clear();
    text += journalDirectoryLine({platform.currentDirectoryIdentity(), std::string(prefix), subdirectories, {}});
    for (const PlannedRename& rename : plan.renames) {
        const FoundEntry& entry = *rename.entry;
        appendJournalRename(text, journalKind(entry.isLink, entry.isDirectory), platform.entryIdentity(entry), entry.name,
                            rename.newName);
        if (text.size() >= writtenAtOnce) {
            if (!platform.appendJournal(text, reason)) {
                fail(journal, platform, firstDirectory, reason);
                return;
            }
            text.clear();
        }
    }
    if (!platform.appendJournal(text, reason)) {
        fail(journal, platform, firstDirectory, reason);
        return;
    }
    journal.state = JournalState::planned;
}

// A stop before it is written loses only this line: a take-back then knows
// a rename not made by its entry still under the old name.
void journalOutcome(RunJournal& journal, const std::vector<std::size_t>& notMade, bool changedAnything) {
    journal.changedAnything = journal.changedAnything || changedAnything;
    if (!journal.failed && journal.state == JournalState::planned) {
        journal.pendingOutcome = journalUnmadeLine(notMade);
    }
}

// A run whose renames were all refused leaves nothing to take back.
void endJournal(RunJournal& journal, Platform& platform) {
    if (!journal.changedAnything) {
        platform.discardJournal();
        journal.state = JournalState::none;
        return;
    }
    std::string reason;
    if (!journal.pendingOutcome.empty() && platform.appendJournal(journal.pendingOutcome, reason)) {
        journal.state = JournalState::done;
    }
}

}  // namespace tocase
