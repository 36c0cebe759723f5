#ifndef TOCASE_JOURNAL_JOURNAL_STORE_H
#define TOCASE_JOURNAL_JOURNAL_STORE_H

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/failure.h"

namespace tocase {

// The journals that let a run be taken back, kept by the same rules on every
// system: one file per run that renames, named by the time it began, in a
// directory of the user's own that no one else may write, each readable by
// the user alone; the newest twenty kept, and beside them every run a
// take-back left not fully back. A journal appears with its start whole, or
// not at all. Runs of one user take turns: each holds the lock while it
// renames. Failures come with their kind.
class JournalStore {
public:
    JournalStore() = default;
    ~JournalStore();
    JournalStore(const JournalStore&) = delete;
    JournalStore& operator=(const JournalStore&) = delete;

    // Waits while another run of this user renames, and keeps the others
    // waiting until this process ends. False where the lock cannot be had.
    bool holdRunLock(const std::function<void()>& waiting, Failure& failure);
    void releaseRunLock();
    // This run's journal, made holding `start` whole.
    bool create(std::string_view start, Failure& failure);
    // How many runs not fully taken back the last pruning kept, where they
    // make more than twenty.
    std::size_t heldBeyondKept() const { return heldBeyondKept_; }
    bool append(std::string_view text, Failure& failure);
    // This run's journal, of a run that changed nothing, removed.
    void discard();

    // The journals not taken back in full, newest first.
    std::vector<std::string> untakenBack(Failure& failure);
    // Refused for a journal others may read or write.
    bool read(const std::string& name, std::string& text, Failure& failure);
    bool appendTo(const std::string& name, std::string_view text, Failure& failure);
    bool markTakenBack(const std::string& name, Failure& failure);
    // Kept beside the twenty from now on, its name changed to say so.
    bool markHeld(std::string& name, Failure& failure);
    std::string pathOf(const std::string& name) const;

private:
    bool findDirectory(bool create, Failure& failure);
    std::vector<std::string> names(bool takenBackToo) const;
    void prune();

    std::string directory_;
    std::string journal_;  // this run's, once made
    bool missing_ = false;  // no journal has been kept yet
    std::size_t heldBeyondKept_ = 0;
    std::intptr_t lock_ = -1;
};

}  // namespace tocase

#endif
