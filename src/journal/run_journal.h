#ifndef TOCASE_JOURNAL_RUN_JOURNAL_H
#define TOCASE_JOURNAL_RUN_JOURNAL_H

#include <string>
#include <string_view>
#include <vector>

#include "engine/run_settings.h"
#include "journal/journal_format.h"
#include "journal/journal_store.h"
#include "platform/platform.h"

namespace tocase {

// A rename the walk has decided on, before it is made.
struct PlannedRename {
    const FoundEntry* entry;
    std::string_view newName;
    bool sharesNumber = false;  // another entry of the directory has the same number
};

// A directory's renames, their new names kept together.
struct RenamePlan {
    std::vector<PlannedRename> renames;
    NameStore newNames;

    void add(const FoundEntry& entry, std::string_view newName) {
        renames.push_back({&entry, newNames.keep(newName)});
    }
    // Which renames are of an entry whose number another entry of `listing`
    // has too (a second link to the same file): such an entry can never be
    // told by its number.
    void markSharedNumbers(const DirectoryListing& listing);
};

// Where a run's journal stands, and what moves it on:
//
//   state     step                                                 next
//   none      the first directory with renames: the journal        open
//             appears with its start whole, and the record follows
//   open      each directory's record, whole before its renames;   open
//             which of them were not made, with the next record
//   none,     a record cannot be written: said once, and the rest  failed
//   open      of the run goes on, beyond a take-back
//   any       the run ends having changed nothing: no journal      none
//   (start)   the lock runs take turns on cannot be held: said at   unlocked
//             the first directory with renames, and the run goes
//             on without a journal
enum class JournalState { none, open, failed, unlocked };

// The journal of a run. A directory's record is written before the first
// of its renames is made, so that whatever stops the run, every rename made
// is in the journal; once they have been tried, which were not made. A run
// that changed nothing keeps none.
struct RunJournal {
    JournalStore& store;
    JournalState state = JournalState::none;
    bool changedAnything = false;
    // Which renames of the last directory were not made: written with the
    // next directory's record, or at the end.
    std::string pendingOutcome = {};
    // The time the last record said its entries were listed by.
    std::string lastListedBy = {};
    // Why the turn could not be held, said where the first rename would be
    // journaled: a run that renames nothing needs no journal.
    Failure unlockedBy = {};
};

// Runs of one user take turns, so that each journal tells its own run
// alone: waits, said on standard error, while another renames; the turn
// lasts until endTurn. False, said, where the turn cannot be had: then
// nothing may be journaled, nor taken back.
bool waitForOtherRuns(JournalStore& store, Platform& platform, Failure& failure);
void endTurn(JournalStore& store);

// A directory's renames, at least one, every entry of which was listed by
// `listedBy`.
void journalRenames(RunJournal& journal, Platform& platform, const RunSettings& settings, std::string_view prefix,
                    const std::vector<std::string>& subdirectories, const RenamePlan& plan, std::string_view listedBy);
// What became of the renames journalRenames wrote: `notMade` holds the
// places among them of those that changed nothing.
void journalOutcome(RunJournal& journal, const std::vector<std::size_t>& notMade, bool changedAnything);
// Once the clock file systems stamp with has passed the last record's
// time: a file made after the run is never taken for one it renamed.
void endJournal(RunJournal& journal, Platform& platform);

}  // namespace tocase

#endif
