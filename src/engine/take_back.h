#ifndef TOCASE_ENGINE_TAKE_BACK_H
#define TOCASE_ENGINE_TAKE_BACK_H

#include "engine/run_settings.h"
#include "journal/journal_store.h"
#include "platform/platform.h"

namespace tocase {

// Takes back the newest run started in the working directory that has not
// been taken back yet, from its journal: entry by entry, the last renamed
// first, each confirmed to be the one the run renamed, listed as a run
// lists its renames. With `preview`, only lists. False, with a line on
// standard error, when there is no such run.
bool takeBackNewestRun(RunSettings& settings, Platform& platform, JournalStore& journals);

}  // namespace tocase

#endif
