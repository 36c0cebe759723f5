#include "engine/convert_entry.h"

#include <string>

#include "text/printable_name.h"

namespace tocase {
namespace {

void printHeaderOnce(const EntryRef& entry) {
    if (entry.headerPrinted) {
        return;
    }
    entry.headerPrinted = true;
    entry.platform.writeOutput(headerText(entry.directoryPrefix));
    entry.platform.endOutputLine();
    ++entry.settings.directoryCount;
}

// 'sub\NAME' as the message names the entry.
std::string quotedPath(const EntryRef& entry) {
    std::string text = "'";
    appendPrintable(text, entry.directoryPrefix);
    appendPrintable(text, entry.found.name);
    return text + "'";
}

void reportFailure(const EntryRef& entry, const RenameResult& result) {
    std::string text;
    if (result.strandedName.empty()) {
        text = "cannot rename " + quotedPath(entry) + ": ";
    } else {
        text = quotedPath(entry) + " is left under the name '";
        appendPrintable(text, result.strandedName);
        text += "'";
        if (!result.strandedFolder.empty()) {
            text += " in ";
            appendPrintable(text, result.strandedFolder);
        }
        text += ": ";
    }
    appendPrintable(text, describe(result.failure));
    entry.platform.writeErrorLine(text);
}

// A rename made that the platform could not confirm in every way: said,
// rather than listed as failed.
void reportNotice(const EntryRef& entry, const RenameResult& result) {
    std::string text = "renamed " + quotedPath(entry) + ": its new spelling cannot be confirmed: ";
    appendPrintable(text, describe(result.spellingUnconfirmed));
    entry.platform.writeErrorLine(text);
}

// Said before the first step, so that a run cut short between the two
// still leaves the original name somewhere.
void noteTemporaryName(const EntryRef& entry, std::string_view temporaryName) {
    std::string text = quotedPath(entry) + " goes through the temporary name '";
    appendPrintable(text, temporaryName);
    entry.platform.writeErrorLine(text + "'");
}

}  // namespace

RenameResult convertEntry(const EntryRef& entry) {
    Platform& platform = entry.platform;
    printHeaderOnce(entry);
    // One buffer for every new name, as the system wants one whole.
    static std::string newName;
    newName.assign(entry.newName);
    const RenameResult result =
        entry.settings.preview ? platform.previewRename(entry.found, newName)
                               : platform.renameEntry(entry.found, newName, [&entry](std::string_view temporaryName) {
                                     noteTemporaryName(entry, temporaryName);
                                 });
    listRename(entry, result);
    return result;
}

void listRename(const EntryRef& entry, const RenameResult& result) {
    RunSettings& settings = entry.settings;
    Platform& platform = entry.platform;
    printHeaderOnce(entry);
    // Built in the same buffer line after line.
    static std::string listing;
    listing.assign("  ");
    appendPrintable(listing, entry.found.name);
    listing += " -> ";
    appendPrintable(listing, entry.newName);
    if (result.renamed) {
        ++settings.convertedCount;
    } else {
        listing += " *** FAILED";
        ++settings.failedCount;
    }
    platform.writeOutput(listing);
    platform.endOutputLine();
    if (!result.renamed) {
        reportFailure(entry, result);
    } else if (result.spellingUnconfirmed.failed()) {
        reportNotice(entry, result);
    }
}

}  // namespace tocase
