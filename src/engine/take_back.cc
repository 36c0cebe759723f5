#include "engine/take_back.h"

#include <string>
#include <unordered_map>

#include "engine/convert_entry.h"
#include "engine/file_spec.h"
#include "engine/journal_format.h"
#include "platform/temporary_name.h"
#include "text/printable_name.h"

namespace tocase {
namespace {

// A name the journal may hold: never a path, nor a way up.
bool isPlainName(std::string_view name, const PlatformFacts& facts) {
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    // One fast search per separator, rather than a set tried at every byte.
    for (const char separator : facts.nameSeparators) {
        if (name.find(separator) != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

bool isOfKind(const FoundEntry& entry, char kind) { return kind == journalKind(entry.isLink, entry.isDirectory); }

std::string quoted(std::string_view text) {
    std::string quoted = "'";
    appendPrintable(quoted, text);
    return quoted + "'";
}

// How taking back one run went: what is not back yet keeps the run the one
// the next take-back tries; what is gone for good is noted, so that the
// next one passes it over.
struct TakeBackTally {
    std::size_t left = 0;
    std::vector<std::size_t> goneOffsets;
};

// The names a preview would have put back, by the directory's path as the
// run recorded it followed by the name put back: a preview goes on down the
// path the take-back would have made again.
using PreviewedNames = std::unordered_map<std::string, std::string>;

// One recorded directory, opened again by the path the run took to it and
// confirmed to be the very directory; its renames are then taken back.
class DirectoryTakeBack {
public:
    DirectoryTakeBack(const JournalDirectory& directory, std::string_view since, RunSettings& settings,
                      Platform& platform, TakeBackTally& tally, PreviewedNames& previewed)
        : directory_(directory), since_(since), settings_(settings), platform_(platform), tally_(tally),
          previewed_(previewed) {
        header_ = directory.prefix;
        for (const std::string& name : directory.names) {
            appendSubdirectory(header_, name);
        }
    }

    void run() {
        std::string reason;
        if (open(reason)) {
            listing_ = platform_.listDirectory(reason);
        }
        if (listing_) {
            for (const FoundEntry& entry : *listing_) {
                byName_.emplace(entry.name, &entry);
            }
        }
        // Every step is decided from the one listing before the first
        // rename, so that the entries to put back are confirmed together.
        std::vector<Step> steps;
        for (const JournalRename& rename : directory_.renames) {
            // Never made, or found gone for good by a take-back before.
            if (rename.end == RenameEnd::notMade || rename.gone) {
                continue;
            }
            steps.push_back(decide(rename, listing_ ? std::string_view() : reason));
        }
        std::vector<const FoundEntry*> announced;
        for (const Step& step : steps) {
            if (step.entry != nullptr) {
                announced.push_back(step.entry);
            }
        }
        if (!announced.empty()) {
            platform_.announceRenames(announced);
        }
        for (const Step& step : steps) {
            take(step);
            platform_.stopIfAsked();
        }
    }

private:
    bool open(std::string& reason) {
        if (!platform_.openDirectory(directory_.prefix, reason)) {
            return false;
        }
        std::string path = directory_.prefix;
        for (const std::string& name : directory_.names) {
            const auto previewed = previewed_.find(path + name);
            const std::string& onDisk = previewed == previewed_.end() ? name : previewed->second;
            const EnterResult entered = isPlainName(name, platform_.facts())
                                            ? platform_.openSubdirectoryByName(onDisk, reason)
                                            : EnterResult::failed;
            if (entered != EnterResult::entered) {
                reason = "its directory is not where the run left it";
                return false;
            }
            appendSubdirectory(path, name);
        }
        if (!platform_.isCurrentDirectoryAsRecorded(directory_.identity, since_)) {
            reason = "its directory is not the one the run renamed in";
            return false;
        }
        return true;
    }

    const FoundEntry* listed(const std::string& name) const {
        const auto found = byName_.find(name);
        return found == byName_.end() ? nullptr : found->second;
    }

    bool isRecorded(const FoundEntry* entry, const JournalRename& rename) const {
        return entry != nullptr && isOfKind(*entry, rename.kind) &&
               platform_.isEntryAsRecorded(*entry, rename.identity, since_);
    }

    // Where a run was stopped between the two steps of a rename, the entry
    // is under a temporary name made of its old one.
    const FoundEntry* leftUnderTemporaryName(const JournalRename& rename) const {
        for (const FoundEntry& entry : *listing_) {
            const std::size_t mark = entry.name.find(temporaryNameMark);
            if (mark != std::string::npos && rename.oldName.starts_with(std::string_view(entry.name).substr(0, mark)) &&
                isRecorded(&entry, rename)) {
                return &entry;
            }
        }
        return nullptr;
    }

    // Under a name neither of the run's: renamed since by someone else.
    // Only where identities tell every file apart.
    const FoundEntry* underAnotherName(const JournalRename& rename) {
        if (!platform_.identitiesAreUnique()) {
            return nullptr;
        }
        if (byIdentity_.empty()) {
            for (const FoundEntry& entry : *listing_) {
                byIdentity_.emplace(platform_.entryIdentity(entry), &entry);
            }
        }
        const auto [first, last] = byIdentity_.equal_range(rename.identity);
        for (auto found = first; found != last; ++found) {
            if (isRecorded(found->second, rename)) {
                return found->second;
            }
        }
        return nullptr;
    }

    // What to do for one recorded rename: put `entry` back, or list the
    // rename as failed with `reason`; neither, where it is to be passed over.
    struct Step {
        const JournalRename* rename = nullptr;
        const FoundEntry* entry = nullptr;
        std::string reason;
        bool gone = false;
    };

    Step decide(const JournalRename& rename, std::string_view unreachable) {
        Step step;
        step.rename = &rename;
        if (!unreachable.empty()) {
            step.reason = unreachable;
            return step;
        }
        if (!isPlainName(rename.oldName, platform_.facts()) || !isPlainName(rename.newName, platform_.facts())) {
            step.reason = "the journal does not hold a plain name for it";
            return step;
        }
        const FoundEntry* renamed = listed(rename.newName);
        if (isRecorded(renamed, rename)) {
            step.entry = renamed;
            return step;
        }
        // Never renamed, or put back already: passed over.
        if (isRecorded(listed(rename.oldName), rename)) {
            return step;
        }
        if (const FoundEntry* left = leftUnderTemporaryName(rename)) {
            step.entry = left;
            return step;
        }
        if (const FoundEntry* moved = underAnotherName(rename)) {
            step.reason = "it has been renamed since, to " + quoted(moved->name);
            return step;
        }
        step.reason = renamed != nullptr ? "another entry has taken its place" : "it is no longer there";
        step.gone = true;
        return step;
    }

    void take(const Step& step) {
        if (step.entry != nullptr) {
            putBack(*step.entry, *step.rename);
        } else if (!step.reason.empty()) {
            fail(*step.rename, step.reason, step.gone);
        }
    }

    // Listed as failed: not back yet, to be tried again; or, when `gone`,
    // gone for good.
    void fail(const JournalRename& rename, std::string_view reason, bool gone) {
        // Listed by the name the run gave it, all a listing line shows of it.
        FoundEntry entry;
        entry.name = rename.newName;
        listRename(EntryRef{header_, entry, rename.oldName, settings_, platform_, headerPrinted_},
                   {false, std::string(reason), {}});
        if (gone) {
            tally_.goneOffsets.push_back(rename.offset);
        } else {
            ++tally_.left;
        }
    }

    void putBack(const FoundEntry& entry, const JournalRename& rename) {
        const RenameResult result =
            convertEntry(EntryRef{header_, entry, rename.oldName, settings_, platform_, headerPrinted_});
        if (!result.renamed) {
            ++tally_.left;
        } else if (settings_.preview && entry.isDirectory) {
            previewed_[header_ + rename.oldName] = entry.name;
        }
    }

    const JournalDirectory& directory_;
    std::string_view since_;
    RunSettings& settings_;
    Platform& platform_;
    TakeBackTally& tally_;
    PreviewedNames& previewed_;
    std::string header_;
    std::shared_ptr<const DirectoryListing> listing_;
    std::unordered_map<std::string_view, const FoundEntry*> byName_;
    std::unordered_multimap<std::string, const FoundEntry*> byIdentity_;
    bool headerPrinted_ = false;
};

// A run taken back in part stays the one the next take-back tries, and
// passes over what was found gone for good.
void recordProgress(const std::string& name, std::string_view text, const TakeBackTally& tally, Platform& platform) {
    std::string reason;
    if (tally.left == 0) {
        if (!platform.markTakenBack(name, reason)) {
            platform.writeErrorLine("the run cannot be marked as taken back: " + reason);
        }
        return;
    }
    std::string notes = text.empty() || text.ends_with('\n') ? "" : "\ncut\n";
    for (const std::size_t offset : tally.goneOffsets) {
        notes += journalGoneLine(offset);
    }
    if (!notes.empty() && !platform.appendToJournal(name, notes, reason)) {
        platform.writeErrorLine("what was found gone cannot be noted in the journal: " + reason);
    }
    const bool one = tally.left == 1;
    platform.writeErrorLine(std::to_string(tally.left) + (one ? " entry of this run is" : " entries of this run are") +
                            " not back: each further /Z tries again, and no older run is taken back before " +
                            (one ? "it is" : "they are") + "; to give up, remove its journal: " +
                            quoted(platform.journalPath(name)));
}

void takeBackRun(const std::string& name, std::string_view text, const JournalStart& start, RunSettings& settings,
                 Platform& platform) {
    settings.directoryMode = start.directoryMode;
    TakeBackTally tally;
    PreviewedNames previewed;
    forEachDirectoryNewestFirst(text, [&](const JournalDirectory& directory, bool unreadable) {
        if (unreadable) {
            platform.writeErrorLine("a record of the journal " + quoted(name) + " cannot be read: what it holds is not put back");
            ++settings.failedCount;
            ++tally.left;
            return;
        }
        DirectoryTakeBack(directory, start.time, settings, platform, tally, previewed).run();
    });
    if (!settings.preview) {
        recordProgress(name, text, tally, platform);
    }
}

}  // namespace

bool takeBackNewestRun(RunSettings& settings, Platform& platform) {
    std::string reason;
    const std::vector<std::string> journals = platform.journals(reason);
    if (!reason.empty()) {
        platform.writeErrorLine("no run can be taken back: " + reason);
        return false;
    }
    std::string newestElsewhere;
    for (const std::string& name : journals) {
        std::string text;
        std::optional<JournalStart> start;
        if (!platform.readJournal(name, text, reason) || !(start = readJournalStart(text))) {
            platform.writeErrorLine("the journal " + quoted(name) + " cannot be read: " +
                                    (reason.empty() ? "its start is not whole" : reason) +
                                    "; nothing is taken back, as it may hold the newest run made here (remove it "
                                    "to take back the runs before it)");
            return false;
        }
        if (!platform.isWorkingDirectoryAsRecorded(start->identity, start->time)) {
            newestElsewhere = newestElsewhere.empty() ? start->path : newestElsewhere;
            continue;
        }
        takeBackRun(name, text, *start, settings, platform);
        return true;
    }
    platform.writeErrorLine("nothing to take back: no run started in this directory is left to take back");
    if (!newestElsewhere.empty()) {
        platform.writeErrorLine("the newest run left to take back was started in " + quoted(newestElsewhere));
    }
    return false;
}

}  // namespace tocase
