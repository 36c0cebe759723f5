#ifndef TOCASE_ENGINE_CONVERT_ENTRY_H
#define TOCASE_ENGINE_CONVERT_ENTRY_H

#include "engine/entry.h"

namespace tocase {

// The entry handler of a run: converts the name when it qualifies, lists the
// rename under its directory's header and counts it.
void convertEntry(const EntryRef& entry);

}  // namespace tocase

#endif
