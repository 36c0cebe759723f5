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

void journalRenames(RunJournal& journal, Platform& platform, const RunSettings& settings, std::string_view prefix,
                    const std::vector<std::string>& subdirectories, const std::vector<PlannedRename>& renames) {
    if (journal.failed || renames.empty()) {
        return;
    }
    std::string reason;
    const bool firstDirectory = journal.state == JournalState::none;
    if (firstDirectory && !begin(platform, settings, reason)) {
        fail(journal, platform, true, reason);
        return;
    }
    std::string text =
        journalDirectoryLine({platform.currentDirectoryIdentity(), std::string(prefix), subdirectories, {}});
    for (const PlannedRename& rename : renames) {
        appendJournalRename(text, journalKind(rename.entry->isLink, rename.entry->isDirectory), platform.entryIdentity(*rename.entry), rename.entry->name,
                            rename.newName);
    }
    if (!platform.appendJournal(text, reason)) {
        fail(journal, platform, firstDirectory, reason);
        return;
    }
    journal.state = JournalState::planned;
}

void journalOutcome(RunJournal& journal, Platform& platform, const std::vector<std::size_t>& notMade,
                    bool changedAnything) {
    journal.changedAnything = journal.changedAnything || changedAnything;
    if (journal.failed || journal.state != JournalState::planned) {
        return;
    }
    std::string reason;
    if (!platform.appendJournal(journalUnmadeLine(notMade), reason)) {
        fail(journal, platform, false, reason);
        return;
    }
    journal.state = JournalState::done;
}

// A run whose renames were all refused leaves nothing to take back.
void endJournal(RunJournal& journal, Platform& platform) {
    if (!journal.changedAnything) {
        platform.discardJournal();
        journal.state = JournalState::none;
    }
}

}  // namespace tocase
