#include "engine/walk_tree.h"

#include <string>
#include <vector>

#include "engine/case_mapping.h"
#include "engine/split_path.h"
#include "engine/name_match.h"
#include "journal/run_journal.h"
#include "text/printable_name.h"

namespace tocase {
namespace {

// A directory the walk is inside, with the subdirectories it still has to
// walk before its own entries are matched.
struct OpenLevel {
    std::string name;  // in its parent; empty for the first
    std::size_t prefixLength = 0;
    DirectoryListing subdirectories;
    std::size_t nextSubdirectory = 0;
    bool readable = true;
};

// The directories the walk is inside, outermost first, and the prefix of
// the innermost: kept here rather than on the call stack, each name once,
// so that depth costs no more than the names themselves.
struct Walk {
    std::vector<OpenLevel> levels;
    std::string prefix;
    Platform& platform;
    RunJournal& journal;

    // "cannot read directory 'sub\': why", and the like.
    void report(std::string_view what, const Failure& failure) {
        std::string text(what);
        text += " '";
        text += headerText(prefix);
        text += "': ";
        appendPrintable(text, describe(failure));
        platform.writeErrorLine(text);
    }
};

bool canDescendInto(const FoundEntry& entry) {
    return entry.isDirectory && !entry.isHidden && !entry.isLink && entry.name != "." && entry.name != "..";
}

// A directory that cannot be read is reported once, here, and then left.
void findSubdirectories(Walk& walk) {
    OpenLevel& level = walk.levels.back();
    Failure failure;
    const std::shared_ptr<const DirectoryListing> listing = walk.platform.listDirectory(failure);
    if (!listing) {
        walk.report("cannot read directory", failure);
        level.readable = false;
        return;
    }
    for (const FoundEntry& entry : *listing) {
        if (canDescendInto(entry)) {
            level.subdirectories.add(entry);
        }
    }
}

void enterLevel(Walk& walk, std::string_view name, bool recurse) {
    OpenLevel& level = walk.levels.emplace_back();
    level.name = name;
    level.prefixLength = walk.prefix.size();
    if (recurse) {
        findSubdirectories(walk);
    }
}

void enterNextSubdirectory(Walk& walk) {
    OpenLevel& parent = walk.levels.back();
    const FoundEntry& entry = parent.subdirectories[parent.nextSubdirectory++];
    appendSubdirectory(walk.prefix, entry.name);
    walk.platform.stopIfAsked();
    Failure failure;
    switch (walk.platform.openSubdirectory(entry, failure)) {
        case EnterResult::entered:
            enterLevel(walk, entry.name, true);
            return;
        case EnterResult::link:
            break;
        case EnterResult::refused:
            walk.report("not entering", failure);
            break;
        case EnterResult::missing:
        case EnterResult::failed:
            walk.report("cannot read directory", failure);
            break;
    }
    walk.prefix.resize(parent.prefixLength);
}

struct NamePattern {
    std::string text;
    MatchRules rules;
    bool hasWildcards;
};

// Decides, from one listing, which entries of the current directory are to
// be renamed and to what; notes what the run's closing hints need.
void planRenames(const DirectoryListing& listing, bool atTop, const NamePattern& pattern, RunSettings& settings,
                 RenamePlan& plan) {
    RunFindings& findings = settings.findings;
    findings.directoryListed = findings.directoryListed || atTop;
    std::string newName;
    for (const FoundEntry& entry : listing) {
        // "." and ".." have no letters: never converted, nor a match to tell of.
        if (entry.name == "." || entry.name == ".." || !matchesNamePattern(pattern.text, entry.name, pattern.rules)) {
            continue;
        }
        (entry.isDirectory ? findings.matchedDirectory : findings.matchedFile) = true;
        if (entry.isDirectory != settings.directoryMode) {
            findings.namesDirectory = findings.namesDirectory || (atTop && !settings.directoryMode && !pattern.hasWildcards);
            continue;
        }
        const NameDecision decision = decideName(entry.name, settings, newName);
        findings.allScriptsCount += decision.missed.allScripts;
        findings.mixedCount += decision.missed.mixed;
        if (decision.converted) {
            plan.add(entry, newName);
        }
    }
}

void journalPlannedRenames(Walk& walk, std::string_view typedPrefix, const RunSettings& settings,
                           const RenamePlan& plan, std::string_view listedBy) {
    std::vector<std::string> subdirectories;
    for (std::size_t i = 1; i < walk.levels.size(); ++i) {
        subdirectories.push_back(walk.levels[i].name);
    }
    journalRenames(walk.journal, walk.platform, settings, typedPrefix, subdirectories, plan, listedBy);
}

// Makes (or previews) each planned rename; returns the places, in the plan,
// of those not made, and whether anything on disk changed.
std::vector<std::size_t> makePlannedRenames(Walk& walk, RunSettings& settings, const RenamePlan& plan,
                                            EntryHandler handler, bool& changedAnything) {
    bool headerPrinted = false;
    std::vector<std::size_t> notMade;
    for (std::size_t place = 0; place < plan.renames.size(); ++place) {
        const PlannedRename& rename = plan.renames[place];
        const RenameResult result =
            handler(EntryRef{walk.prefix, *rename.entry, rename.newName, settings, walk.platform, headerPrinted});
        // Left under a temporary name is a change too.
        const bool changed = result.renamed || !result.strandedName.empty();
        changedAnything = changedAnything || changed;
        if (!changed) {
            notMade.push_back(place);
        }
        walk.platform.stopIfAsked();
    }
    return notMade;
}

// The renames a directory is to have are decided, and journaled, before the
// first of them is made.
void matchEntries(Walk& walk, std::string_view typedPrefix, const NamePattern& pattern, RunSettings& settings,
                  EntryHandler handler) {
    Failure failure;
    if (!walk.platform.currentIsStillInItsParent(failure)) {
        walk.report("not converting in", failure);
        return;
    }
    // Held here: a rename may make the platform let go of its own copy.
    const std::shared_ptr<const DirectoryListing> listing = walk.platform.listDirectory(failure);
    if (!listing) {
        walk.report("cannot read directory", failure);
        return;
    }
    RenamePlan plan;
    planRenames(*listing, walk.levels.size() == 1, pattern, settings, plan);
    // Most directories of a tree have nothing to rename: nothing to
    // confirm or journal.
    if (plan.renames.empty()) {
        return;
    }
    std::vector<const FoundEntry*> announced;
    announced.reserve(plan.renames.size());
    for (const PlannedRename& rename : plan.renames) {
        announced.push_back(rename.entry);
    }
    walk.platform.announceRenames(announced);
    if (!settings.preview) {
        plan.markSharedNumbers(*listing);
        journalPlannedRenames(walk, typedPrefix, settings, plan, listing->timeRead());
    }
    bool changedAnything = false;
    const std::vector<std::size_t> notMade = makePlannedRenames(walk, settings, plan, handler, changedAnything);
    if (!settings.preview) {
        journalOutcome(walk.journal, notMade, changedAnything);
    }
}

// A parent that cannot be reached again is given up with all it still had
// to do, and so is every directory above it that is reached through it.
void leaveLevel(Walk& walk) {
    walk.levels.pop_back();
    Failure failure;
    while (!walk.levels.empty()) {
        walk.prefix.resize(walk.levels.back().prefixLength);
        if (walk.platform.closeDirectory(failure)) {
            return;
        }
        walk.report("not converting in", failure);
        walk.levels.pop_back();
    }
    walk.platform.closeDirectory(failure);
}

}  // namespace

void walkFileSpec(std::string_view fileSpec, RunSettings& settings, EntryHandler handler, Platform& platform,
                  RunJournal& journal) {
    const FileSpecParts parts = splitFileSpec(fileSpec, platform.facts());
    const NamePattern pattern{parts.namePattern, {settings.allScripts, platform.facts().namesAreUtf16},
                              parts.namePattern.find_first_of("*?") != std::string::npos};
    Walk walk{{}, parts.directoryPrefix, platform, journal};
    Failure failure;
    if (platform.openDirectory(parts.directoryPrefix, failure) != EnterResult::entered) {
        walk.report("cannot read directory", failure);
        return;
    }
    enterLevel(walk, "", settings.recurse);
    while (!walk.levels.empty()) {
        const OpenLevel& level = walk.levels.back();
        if (level.nextSubdirectory < level.subdirectories.size()) {
            enterNextSubdirectory(walk);
        } else {
            if (level.readable) {
                matchEntries(walk, parts.directoryPrefix, pattern, settings, handler);
            }
            leaveLevel(walk);
        }
    }
    if (!settings.preview) {
        endJournal(walk.journal, platform);
    }
}

}  // namespace tocase
