#ifndef TOCASE_ENGINE_CONVERT_ENTRY_H
#define TOCASE_ENGINE_CONVERT_ENTRY_H

#include "engine/entry.h"

namespace tocase {

// The entry handler of a run: renames the entry to its new name, lists the
// rename under its directory's header and counts it.
RenameResult convertEntry(const EntryRef& entry);

// Lists a rename that ended as `result`, with the header of its directory
// first, and counts it; a failed one gets its reason on standard error,
// and so does the notice beside one made.
void listRename(const EntryRef& entry, const RenameResult& result);

}  // namespace tocase

#endif
