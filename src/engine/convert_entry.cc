#include "engine/convert_entry.h"

#include <optional>
#include <string>

#include "engine/case_mapping.h"

namespace tocase {
namespace {

// Empty until the first header of a run, so the first conversion always
// prints one, even for the empty prefix.
std::optional<std::string> lastListedDirectory;

void printHeaderOnDirectoryChange(const EntryRef& entry) {
    if (lastListedDirectory && entry.directoryPrefix == *lastListedDirectory) {
        return;
    }
    lastListedDirectory = entry.directoryPrefix;
    entry.platform.writeOutput(entry.directoryPrefix.empty() ? ".\\" : entry.directoryPrefix);
    entry.platform.endOutputLine();
    ++entry.settings.directoryCount;
}

}  // namespace

void resetLastListedDirectory() { lastListedDirectory.reset(); }

void convertEntry(const EntryRef& entry) {
    RunSettings& settings = entry.settings;
    if (!needsConversion(entry.name, settings.toLower, settings.mixed)) {
        return;
    }
    printHeaderOnDirectoryChange(entry);

    const std::string newName =
        settings.toLower ? toLowerAscii(entry.name) : toUpperAscii(entry.name);
    Platform& platform = entry.platform;
    std::string listing;
    listing.reserve(entry.name.size() + newName.size() + 6);
    listing.append("  ").append(entry.name).append(" -> ").append(newName);
    platform.writeOutput(listing);

    // The walk hands over directories only in directory mode, files only
    // otherwise; an entry that changed kind since is not what was named.
    if (platform.renameEntry(entry.directoryPrefix, entry.name, newName, settings.directoryMode)) {
        ++settings.convertedCount;
    } else {
        platform.writeOutput(" *** FAILED");
        ++settings.failedCount;
    }
    platform.endOutputLine();
}

}  // namespace tocase
