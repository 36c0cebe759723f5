#ifndef TOCASE_ENGINE_RUN_JOURNAL_H
#define TOCASE_ENGINE_RUN_JOURNAL_H

#include <string>
#include <string_view>
#include <vector>

#include "engine/journal_format.h"
#include "engine/run_settings.h"
#include "platform/platform.h"

namespace tocase {

// A rename the walk has decided on, before it is made.
struct PlannedRename {
    const FoundEntry* entry;
    std::string_view newName;
};

// A directory's renames, their new names kept together.
struct RenamePlan {
    std::vector<PlannedRename> renames;
    NameStore newNames;

    void add(const FoundEntry& entry, std::string_view newName) {
        renames.push_back({&entry, newNames.keep(newName)});
    }
};

// The journal of a run, begun at its first directory with renames. A
// directory's renames are written in one go before the first is made, so
// that whatever stops the run, every rename made is in the journal; once
// they have been tried, which were not made. One that cannot be written is
// said once, and the run goes on. A run that changed nothing keeps none.
struct RunJournal {
    JournalState state = JournalState::none;
    bool failed = false;
    bool changedAnything = false;
    // Which renames of the last directory were not made: written with the
    // next directory's renames, or at the end, in the same write.
    std::string pendingOutcome;
};

// Runs of one user take turns, so that each journal tells its own run
// alone: waits, said on standard error, while another renames; the turn
// lasts until endTurn.
void waitForOtherRuns(Platform& platform);
void endTurn(Platform& platform);

// A directory's renames, at least one.
void journalRenames(RunJournal& journal, Platform& platform, const RunSettings& settings, std::string_view prefix,
                    const std::vector<std::string>& subdirectories, const RenamePlan& plan);
// What became of the renames journalRenames wrote: `notMade` holds the
// places among them of those that changed nothing.
void journalOutcome(RunJournal& journal, const std::vector<std::size_t>& notMade, bool changedAnything);
void endJournal(RunJournal& journal, Platform& platform);

}  // namespace tocase

#endif
