#include "engine/take_back.h"

#include <array>
#include <string>
#include <unordered_map>

#include "engine/convert_entry.h"
#include "engine/split_path.h"
#include "journal/journal_reading.h"
#include "platform/name_table.h"
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

// Why a rename of the run is not taken back. The first kinds hold the run,
// for the user can mend them and the next take-back then puts the entry
// back; the others are gone for good, said once and passed over after.
enum class NotBack {
    oldNameTaken,       // another entry holds the name to put back
    renamedSince,       // under a third name now
    directoryUnread,    // its directory cannot be opened or read, with the system's reason
    refused,            // the system refused to put it back, with its reason
    recordUnread,       // its record in the journal does not read
    directoryGone,      // its directory is no longer where the run renamed in it
    replaced,           // another entry has taken its place
    vanished,           // under none of its names, nor any other
    notPlainName,       // the journal holds a path for it
};
constexpr std::size_t holdingKinds = 5;

bool holdsTheRun(NotBack why) { return static_cast<std::size_t>(why) < holdingKinds; }

// Why an entry is not back, as a failure: `other` is what holds its old
// name, or it under a third name; `directory` why its directory is unread.
Failure notBackFailure(NotBack why, std::string_view other, const Failure& directory) {
    switch (why) {
        case NotBack::oldNameTaken: return failureOf(FailureKind::anotherEntry, std::string(other));
        case NotBack::renamedSince: return failureOf(FailureKind::renamedSince, std::string(other));
        case NotBack::directoryUnread: return during(FailureStep::readingItsDirectory, directory);
        case NotBack::refused: return directory;
        case NotBack::recordUnread: return failureOf(FailureKind::recordUnread);
        case NotBack::directoryGone: return failureOf(FailureKind::directoryGone);
        case NotBack::replaced: return failureOf(FailureKind::replaced);
        case NotBack::vanished: return failureOf(FailureKind::vanished);
        case NotBack::notPlainName: return failureOf(FailureKind::notPlainName);
    }
    return {};
}

// How taking back one run went: what is not back yet keeps the run the one
// the next take-back tries; what is gone for good is noted, so that the
// next one passes it over.
struct TakeBackTally {
    std::array<std::size_t, holdingKinds> held{};
    std::vector<std::size_t> goneOffsets;

    std::size_t left() const {
        std::size_t sum = 0;
        for (const std::size_t count : held) sum += count;
        return sum;
    }
};

// The names a preview would have put back, by the directory's path as the
// run recorded it followed by the name put back: a preview goes on down the
// path the take-back would have made again.
using PreviewedNames = std::unordered_map<std::string, std::string>;

// One recorded directory, opened again by the path the run took to it and
// confirmed to be the very directory; its renames are then taken back.
class DirectoryTakeBack {
public:
    DirectoryTakeBack(const JournalDirectory& directory, std::string_view madeBy, RunSettings& settings,
                      Platform& platform, TakeBackTally& tally, PreviewedNames& previewed)
        : directory_(directory), madeBy_(madeBy), settings_(settings), platform_(platform), tally_(tally),
          previewed_(previewed) {
        header_ = directory.prefix;
        for (const std::string& name : directory.names) {
            appendSubdirectory(header_, name);
        }
    }

    void run() {
        const std::optional<NotBack> unreachable = open();
        if (!unreachable) {
            index();
        }
        // Every step is decided from the one listing before the first
        // rename, so that the entries to put back are confirmed together.
        std::vector<Step> steps;
        for (const JournalRename& rename : directory_.renames) {
            // Never made, or found gone for good by a take-back before.
            if (rename.end == RenameEnd::notMade || rename.gone) {
                continue;
            }
            steps.push_back(unreachable ? Step{&rename, nullptr, unreachable} : decide(rename));
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
    // What to do for one recorded rename: put `entry` back, or list the
    // rename as failed for `why`; neither, where it is to be passed over.
    struct Step {
        const JournalRename* rename = nullptr;
        const FoundEntry* entry = nullptr;
        std::optional<NotBack> why = std::nullopt;
        const FoundEntry* other = nullptr;  // what holds its old name, or it under a third name
    };

    // Nothing when the directory is open and the very one the run renamed
    // in; else why not, what the system said in `directoryFailure_`.
    std::optional<NotBack> open() {
        const EnterResult first = platform_.openDirectory(directory_.prefix, directoryFailure_);
        if (first != EnterResult::entered) {
            return first == EnterResult::missing ? NotBack::directoryGone : NotBack::directoryUnread;
        }
        std::string path = directory_.prefix;
        for (const std::string& name : directory_.names) {
            const auto previewed = previewed_.find(path + name);
            const std::string& onDisk = previewed == previewed_.end() ? name : previewed->second;
            const EnterResult entered = isPlainName(name, platform_.facts())
                                            ? platform_.openSubdirectoryByName(onDisk, directoryFailure_)
                                            : EnterResult::missing;
            if (entered == EnterResult::failed) {
                return NotBack::directoryUnread;
            }
            if (entered != EnterResult::entered) {
                return NotBack::directoryGone;
            }
            appendSubdirectory(path, name);
        }
        if (!platform_.isCurrentDirectoryAsRecorded(directory_.identity, madeBy_)) {
            return NotBack::directoryGone;
        }
        listing_ = platform_.listDirectory(directoryFailure_);
        return listing_ ? std::nullopt : std::optional<NotBack>(NotBack::directoryUnread);
    }

    // The listing's names, and those it holds under a temporary name.
    void index() {
        byName_.reserve(listing_->size());
        for (std::size_t place = 0; place < listing_->size(); ++place) {
            const FoundEntry& entry = (*listing_)[place];
            byName_.insert(entry.name, static_cast<std::uint32_t>(place));
            if (entry.name.find(temporaryNameMark) != std::string_view::npos) {
                underTemporaryNames_.push_back(&entry);
            }
        }
    }

    const FoundEntry* listed(std::string_view name) const {
        const std::optional<std::uint32_t> place = byName_.find(name);
        return place ? &(*listing_)[*place] : nullptr;
    }

    bool isRecorded(const FoundEntry* entry, const JournalRename& rename) const {
        return entry != nullptr && isOfKind(*entry, rename.kind) &&
               platform_.isEntryAsRecorded(*entry, rename.identity, madeBy_);
    }

    // Where a run was stopped between the two steps of a rename, the entry
    // is under a temporary name made of its old one.
    const FoundEntry* leftUnderTemporaryName(const JournalRename& rename) const {
        for (const FoundEntry* entry : underTemporaryNames_) {
            const std::size_t mark = entry->name.find(temporaryNameMark);
            if (rename.oldName.starts_with(entry->name.substr(0, mark)) && isRecorded(entry, rename)) {
                return entry;
            }
        }
        return nullptr;
    }

    // Under a name neither of the run's: renamed since by someone else.
    // Only where identities tell every file apart, and never for an entry
    // that shared its number with another when it was renamed.
    const FoundEntry* underAnotherName(const JournalRename& rename) {
        if (rename.sharesNumber || !platform_.identitiesAreUnique()) {
            return nullptr;
        }
        if (byIdentity_.empty()) {
            for (const FoundEntry& entry : *listing_) {
                byIdentity_.emplace(platform_.entryIdentity(entry), &entry);
            }
        }
        const auto [first, last] = byIdentity_.equal_range(std::string(rename.identity));
        for (auto found = first; found != last; ++found) {
            if (isRecorded(found->second, rename)) {
                return found->second;
            }
        }
        return nullptr;
    }

    Step decide(const JournalRename& rename) {
        if (!isPlainName(rename.oldName, platform_.facts()) || !isPlainName(rename.newName, platform_.facts())) {
            return {&rename, nullptr, NotBack::notPlainName};
        }
        const FoundEntry* renamed = listed(rename.newName);
        const FoundEntry* original = listed(rename.oldName);
        if (isRecorded(renamed, rename)) {
            // Another entry under the very old name: the file system tells
            // the two apart, and would refuse.
            if (original != nullptr && original != renamed) {
                return {&rename, nullptr, NotBack::oldNameTaken, original};
            }
            return {&rename, renamed};
        }
        // Never renamed, or put back already: passed over.
        if (isRecorded(original, rename)) {
            return {&rename};
        }
        if (const FoundEntry* left = leftUnderTemporaryName(rename)) {
            return {&rename, left};
        }
        if (const FoundEntry* moved = underAnotherName(rename)) {
            return {&rename, nullptr, NotBack::renamedSince, moved};
        }
        return {&rename, nullptr, renamed != nullptr ? NotBack::replaced : NotBack::vanished};
    }

    void take(const Step& step) {
        if (step.entry != nullptr) {
            putBack(*step.entry, *step.rename);
        } else if (step.why) {
            const std::string_view other = step.other != nullptr ? step.other->name : std::string_view();
            fail(*step.rename, *step.why, notBackFailure(*step.why, other, directoryFailure_));
        }
    }

    // Listed as failed: not back yet, to be tried again; or gone for good.
    void fail(const JournalRename& rename, NotBack why, const Failure& failure) {
        // Listed by the name the run gave it, all a listing line shows of it.
        FoundEntry entry;
        entry.name = rename.newName;
        listRename(EntryRef{header_, entry, rename.oldName, settings_, platform_, headerPrinted_}, {false, failure, {}});
        if (holdsTheRun(why)) {
            ++tally_.held[static_cast<std::size_t>(why)];
        } else {
            tally_.goneOffsets.push_back(rename.offset);
        }
    }

    void putBack(const FoundEntry& entry, const JournalRename& rename) {
        const RenameResult result =
            convertEntry(EntryRef{header_, entry, rename.oldName, settings_, platform_, headerPrinted_});
        if (!result.renamed) {
            ++tally_.held[static_cast<std::size_t>(NotBack::refused)];
        } else if (settings_.preview && entry.isDirectory) {
            previewed_[header_ + std::string(rename.oldName)] = entry.name;
        }
    }

    const JournalDirectory& directory_;
    std::string_view madeBy_;
    RunSettings& settings_;
    Platform& platform_;
    TakeBackTally& tally_;
    PreviewedNames& previewed_;
    std::string header_;
    Failure directoryFailure_;
    std::shared_ptr<const DirectoryListing> listing_;
    NameTable byName_;
    std::vector<const FoundEntry*> underTemporaryNames_;
    std::unordered_multimap<std::string, const FoundEntry*> byIdentity_;
    bool headerPrinted_ = false;
};

// What holds the run, and what to do about each: one line.
std::string notBackLine(const TakeBackTally& tally, const std::string& journalPath) {
    constexpr std::array<const char*, holdingKinds> remedies = {
        " whose old name another entry holds (move that one away)",
        " renamed since to another name (give it back the name the run gave it)",
        " whose directory cannot be read (let this user read it)",
        " the system refused to put back (see why above)",
        " in a record of the journal that does not read",
    };
    const std::size_t left = tally.left();
    std::string line = std::to_string(left) + (left == 1 ? " entry of this run is" : " entries of this run are") +
                       " not back:";
    const char* separator = " ";
    for (std::size_t kind = 0; kind < holdingKinds; ++kind) {
        if (tally.held[kind] > 0) {
            line.append(separator).append(std::to_string(tally.held[kind])).append(remedies[kind]);
            separator = ", ";
        }
    }
    return line + "; each further /Z tries again, and no older run is taken back before " +
           (left == 1 ? "it is" : "they are") + "; to give up, remove its journal: " + quoted(journalPath);
}

// A run taken back in part stays the one the next take-back tries, kept
// beyond the runs kept, and passes over what was found gone for good.
void recordProgress(const std::string& name, std::string_view text, const TakeBackTally& tally, JournalStore& journals,
                    Platform& platform) {
    Failure failure;
    if (tally.left() == 0) {
        if (!journals.markTakenBack(name, failure)) {
            platform.writeErrorLine("the run cannot be marked as taken back: " + describe(failure));
        }
        return;
    }
    std::string notes = text.empty() || text.ends_with('\n') ? "" : "\ncut\n";
    for (const std::size_t offset : tally.goneOffsets) {
        notes += journalGoneLine(offset);
    }
    if (!notes.empty() && !journals.appendTo(name, notes, failure)) {
        platform.writeErrorLine("what was found gone cannot be noted in the journal: " + describe(failure));
    }
    std::string held = name;
    if (!journals.markHeld(held, failure)) {
        platform.writeErrorLine("the run cannot be kept beside the last 20: " + describe(failure));
    }
    platform.writeErrorLine(notBackLine(tally, journals.pathOf(held)));
}

// What the reading left, said: nothing of a journal goes unused in silence.
void reportLeftovers(const std::string& name, const JournalLeftovers& leftovers, std::string_view cutAfter,
                     bool anyRecord, Platform& platform) {
    if (leftovers.unusedLines > 0) {
        platform.writeErrorLine(std::to_string(leftovers.unusedLines) +
                                (leftovers.unusedLines == 1 ? " line" : " lines") + " of the journal " + quoted(name) +
                                " belong to no record and were not used");
    }
    if (!anyRecord) {
        platform.writeErrorLine("the journal " + quoted(name) +
                                " holds no record: the renames of its run may not be recorded, and are not put back");
    } else if (!cutAfter.empty()) {
        platform.writeErrorLine("the journal " + quoted(name) + " stops short in the record of " + quoted(cutAfter) +
                                ": renames after this point may not be recorded, and are not put back");
    }
}

void takeBackRun(const std::string& name, std::string_view text, const JournalHead& head, RunSettings& settings,
                 JournalStore& journals, Platform& platform) {
    settings.directoryMode = head.start.directoryMode;
    TakeBackTally tally;
    PreviewedNames previewed;
    JournalLeftovers leftovers;
    bool anyRecord = false;
    std::string cutAfter;
    forEachDirectoryNewestFirst(
        text, head,
        [&](const JournalDirectory& directory, bool unreadable) {
            if (unreadable) {
                platform.writeErrorLine("a record of the journal " + quoted(name) +
                                        " cannot be read: what it holds is not put back");
                ++settings.failedCount;
                ++tally.held[static_cast<std::size_t>(NotBack::recordUnread)];
                return;
            }
            if (!anyRecord && !directory.whole) {
                cutAfter = headerText(directory.prefix);
                for (const std::string& subdirectory : directory.names) {
                    appendSubdirectory(cutAfter, subdirectory);
                }
            }
            anyRecord = true;
            const std::string_view madeBy = directory.listedBy.empty() ? head.start.time : directory.listedBy;
            DirectoryTakeBack(directory, madeBy, settings, platform, tally, previewed).run();
        },
        leftovers);
    anyRecord = anyRecord || leftovers.unreadableRecords > 0;
    reportLeftovers(name, leftovers, cutAfter, anyRecord, platform);
    if (!settings.preview) {
        recordProgress(name, text, tally, journals, platform);
    }
}

}  // namespace

bool takeBackNewestRun(RunSettings& settings, Platform& platform, JournalStore& journals) {
    Failure failure;
    const std::vector<std::string> names = journals.untakenBack(failure);
    if (failure.failed()) {
        platform.writeErrorLine("no run can be taken back: " + describe(failure));
        return false;
    }
    std::optional<JournalStart> newestElsewhere;
    for (const std::string& name : names) {
        std::string text;
        std::optional<JournalHead> head;
        if (!journals.read(name, text, failure) || !(head = readJournalHead(text))) {
            platform.writeErrorLine("the journal " + quoted(name) + " cannot be read: " +
                                    describe(failure.failed() ? failure : failureOf(FailureKind::startNotWhole)) +
                                    "; nothing is taken back, as it may hold the newest run made here (remove it "
                                    "to take back the runs before it)");
            return false;
        }
        if (!platform.isWorkingDirectoryAsRecorded(head->start.identity, head->start.time)) {
            newestElsewhere = newestElsewhere ? newestElsewhere : head->start;
            continue;
        }
        takeBackRun(name, text, *head, settings, journals, platform);
        return true;
    }
    platform.writeErrorLine("nothing to take back: no run started in this directory is left to take back");
    if (newestElsewhere && newestElsewhere->path == platform.workingDirectoryPath()) {
        platform.writeErrorLine("the newest run left to take back was started in a directory of this same path, " +
                                quoted(newestElsewhere->path) + ", that has been removed since");
    } else if (newestElsewhere) {
        platform.writeErrorLine("the newest run left to take back was started in " + quoted(newestElsewhere->path));
    }
    return false;
}

}  // namespace tocase
