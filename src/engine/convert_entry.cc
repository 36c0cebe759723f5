#include "engine/convert_entry.h"

#include <optional>
#include <string>

#include "engine/case_mapping.h"
#include "engine/printable_name.h"

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
    entry.platform.writeOutput(headerText(entry.directoryPrefix));
    entry.platform.endOutputLine();
    ++entry.settings.directoryCount;
}

void reportStranded(const EntryRef& entry, const RenameResult& result) {
    std::string text = "'";
    appendPrintable(text, entry.directoryPrefix);
    appendPrintable(text, entry.found.name);
    text += "' is left under the name '";
    appendPrintable(text, result.strandedName);
    text.append("': ").append(result.reason);
    entry.platform.writeErrorLine(text);
}

}  // namespace

void resetLastListedDirectory() { lastListedDirectory.reset(); }

void convertEntry(const EntryRef& entry) {
    RunSettings& settings = entry.settings;
    Platform& platform = entry.platform;
    const LeadBytes& leadBytes = platform.facts().leadBytes;
    const std::string& name = entry.found.name;
    if (!needsConversion(name, settings.toLower, settings.mixed, leadBytes)) {
        return;
    }
    printHeaderOnDirectoryChange(entry);

    const std::string newName = convertCase(name, settings.toLower, leadBytes);
    std::string listing = "  ";
    listing.reserve(2 * name.size() + 6);
    appendPrintable(listing, name);
    listing += " -> ";
    appendPrintable(listing, newName);
    platform.writeOutput(listing);
    const RenameResult result = platform.renameEntry(entry.found, newName, settings.toLower);
    if (result.renamed) {
        ++settings.convertedCount;
    } else {
        platform.writeOutput(" *** FAILED");
        ++settings.failedCount;
    }
    platform.endOutputLine();
    if (!result.strandedName.empty()) {
        reportStranded(entry, result);
    }
}

}  // namespace tocase
