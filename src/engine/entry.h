#ifndef TOCASE_ENGINE_ENTRY_H
#define TOCASE_ENGINE_ENTRY_H

#include <string_view>

#include "cli/run_settings.h"
#include "platform/platform.h"

namespace tocase {

// What the walk hands to the handler for one entry; valid only during the
// handler call.
struct EntryRef {
    std::string_view directoryPrefix;  // as split off the file specification
    std::string_view name;             // as the search reported it
    RunSettings& settings;
    Platform& platform;
};

using EntryHandler = void (*)(const EntryRef& entry);

}  // namespace tocase

#endif
