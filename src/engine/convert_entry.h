#ifndef TOCASE_ENGINE_CONVERT_ENTRY_H
#define TOCASE_ENGINE_CONVERT_ENTRY_H

#include "engine/entry.h"

namespace tocase {

// The entry handler of a run: converts the name when it qualifies, lists the
// rename under its directory's header and counts it.
void convertEntry(const EntryRef& entry);

// Forgets the last directory header printed, as at the start of a process,
// so the next conversion prints one whatever its prefix.
void resetLastListedDirectory();

}  // namespace tocase

#endif
