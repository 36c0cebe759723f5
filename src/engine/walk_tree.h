#ifndef TOCASE_ENGINE_WALK_TREE_H
#define TOCASE_ENGINE_WALK_TREE_H

#include <string_view>

#include "engine/entry.h"
#include "journal/run_journal.h"

namespace tocase {

// Hands every entry of the wanted kind (files, or directories with
// `directoryMode`) that matches `fileSpec` to `handler`. With `recurse`,
// every visible subdirectory is walked first, each completely, so a
// directory's own entries come after everything below it. A directory that
// cannot be read is said on standard error and the walk goes on. Unless
// previewing, each directory's renames go to `journal` before they are made.
void walkFileSpec(std::string_view fileSpec, RunSettings& settings, EntryHandler handler, Platform& platform,
                  RunJournal& journal);

}  // namespace tocase

#endif
