#include "engine/run_journal.h"

#include "engine/journal_format.h"

namespace tocase {
namespace {

char kindOf(const FoundEntry& entry) { return entry.isLink ? 'l' : entry.isDirectory ? 'd' : 'f'; }

bool begin(RunJournal& journal, Platform& platform, const RunSettings& settings, std::string& reason) {
    journal.begun = true;
    return platform.createJournal(reason) &&
           platform.appendJournal(journalStartLines({platform.workingDirectoryIdentity(),
                                                     platform.workingDirectoryPath(), platform.clockReading(),
                                                     settings.directoryMode}),
                                  reason);
}

}  // namespace

void journalRenames(RunJournal& journal, Platform& platform, const RunSettings& settings, std::string_view prefix,
                    const std::vector<std::string>& subdirectories, const std::vector<PlannedRename>& renames) {
    if (journal.failed || renames.empty()) {
        return;
    }
    std::string reason;
    const bool firstDirectory = !journal.begun;
    if (firstDirectory && !begin(journal, platform, settings, reason)) {
        journal.failed = true;
    } else {
        std::string text = journalDirectoryLine(
            {platform.currentDirectoryIdentity(), std::string(prefix), subdirectories, {}});
        for (const PlannedRename& rename : renames) {
            appendJournalRename(text, kindOf(*rename.entry), platform.entryIdentity(*rename.entry), rename.entry->name,
                                rename.newName);
        }
        journal.failed = !platform.appendJournal(text, reason);
    }
    if (journal.failed) {
        platform.writeErrorLine(std::string(firstDirectory ? "this run" : "the rest of this run") +
                                " cannot be taken back: its journal cannot be written: " + reason);
    }
}

}  // namespace tocase
