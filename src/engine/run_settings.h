#ifndef TOCASE_ENGINE_RUN_SETTINGS_H
#define TOCASE_ENGINE_RUN_SETTINGS_H

#include <cstdint>
#include <string>

namespace tocase {

// What the walk met besides its renames, for the hints that follow the
// summary of a run that did less than it may have been meant to.
struct RunFindings {
    bool directoryListed = false;       // the file specification's own directory was read
    // The name pattern matched a file, or a directory, "." and ".." aside.
    bool matchedFile = false;
    bool matchedDirectory = false;
    std::uint32_t allScriptsCount = 0;  // names /A would convert, to another name than the run gives them
    std::uint32_t mixedCount = 0;       // names /MIXED would convert, which the run leaves
    // Without /D, a name pattern without wildcards matched a directory of
    // the file specification's own directory.
    bool namesDirectory = false;
};

// The case a run gives names: /L, /U or /T, the last given.
enum class TargetCase { lower, upper, title };

// The options and tallies of one run: the front end fills the options, the
// engine reads them and counts. One per run, passed by reference.
struct RunSettings {
    std::uint32_t convertedCount = 0;  // entries renamed (or put back) successfully
    std::uint32_t directoryCount = 0;  // directory headers printed
    std::uint32_t failedCount = 0;     // renames that failed
    std::string fileSpec;              // empty: none given
    TargetCase targetCase = TargetCase::lower;
    bool mixed = false;
    bool directoryMode = false;
    bool recurse = false;
    bool preview = false;        // list what a run would do, rename nothing
    bool allScripts = false;     // letters of every script have a case, not only A to Z
    bool extensionOnly = false;  // judge and convert the extension alone
    bool takeBack = false;       // take back the newest run made here
    bool showHelp = false;
    RunFindings findings;
};

}  // namespace tocase

#endif
