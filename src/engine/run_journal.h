#ifndef TOCASE_ENGINE_RUN_JOURNAL_H
#define TOCASE_ENGINE_RUN_JOURNAL_H

#include <string>
#include <string_view>
#include <vector>

#include "engine/run_settings.h"
#include "platform/platform.h"

namespace tocase {

// A rename the walk has decided on, before it is made.
struct PlannedRename {
    const FoundEntry* entry;
    std::string newName;
};

// The journal of a run, begun at its first directory with renames. A
// directory's renames are written in one go before the first is made, so
// that whatever stops the run, every rename made is in the journal. One
// that cannot be written is said once, and the run goes on.
struct RunJournal {
    bool begun = false;
    bool failed = false;
};

void journalRenames(RunJournal& journal, Platform& platform, const RunSettings& settings, std::string_view prefix,
                    const std::vector<std::string>& subdirectories, const std::vector<PlannedRename>& renames);

}  // namespace tocase

#endif
