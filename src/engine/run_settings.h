#ifndef TOCASE_ENGINE_RUN_SETTINGS_H
#define TOCASE_ENGINE_RUN_SETTINGS_H

#include <cstdint>
#include <string>

namespace tocase {

// The options and tallies of one run: the front end fills the options, the
// engine reads them and counts. One per run, passed by reference.
struct RunSettings {
    std::uint32_t convertedCount = 0;  // entries renamed (or put back) successfully
    std::uint32_t directoryCount = 0;  // directory headers printed
    std::uint32_t failedCount = 0;     // renames that failed
    std::string fileSpec;              // empty: none given
    bool toLower = true;
    bool mixed = false;
    bool directoryMode = false;
    bool recurse = false;
    bool preview = false;        // list what a run would do, rename nothing
    bool allScripts = false;     // letters of every script have a case, not only A to Z
    bool extensionOnly = false;  // judge and convert the extension alone
    bool takeBack = false;       // take back the newest run made here
    bool showHelp = false;
};

}  // namespace tocase

#endif
