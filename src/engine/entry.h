#ifndef TOCASE_ENGINE_ENTRY_H
#define TOCASE_ENGINE_ENTRY_H

#include <string_view>

#include "engine/run_settings.h"
#include "platform/platform.h"

namespace tocase {

// What the walk hands to the handler for one entry that is to be renamed;
// valid only during the handler call. The entry is one of the current
// directory of `platform`.
struct EntryRef {
    std::string_view directoryPrefix;  // as the headers print it, before escaping
    const FoundEntry& found;
    std::string_view newName;  // what it is to become
    RunSettings& settings;
    Platform& platform;
    // Whether the header of this directory has been printed: each directory
    // entered gets its own, whatever its prefix prints as.
    bool& headerPrinted;
};

// How the rename ended, so that the walk's journal can tell what was made.
using EntryHandler = RenameResult (*)(const EntryRef& entry);

}  // namespace tocase

#endif
