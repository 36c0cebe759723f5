#include "engine/take_back.h"

#include <string>
#include <unordered_map>

#include "engine/convert_entry.h"
#include "engine/file_spec.h"
#include "engine/journal_format.h"

namespace tocase {
namespace {

// A name the journal may hold: never a path, nor a way up.
bool isPlainName(std::string_view name, const PlatformFacts& facts) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of(facts.nameSeparators) == std::string_view::npos;
}

FoundEntry entryAsRecorded(const JournalRename& rename, std::string name) {
    FoundEntry entry;
    entry.name = std::move(name);
    entry.isDirectory = rename.kind == 'd';
    entry.isLink = rename.kind == 'l';
    return entry;
}

bool isOfKind(const FoundEntry& entry, char kind) {
    return kind == (entry.isLink ? 'l' : entry.isDirectory ? 'd' : 'f');
}

// One recorded directory, opened again by the path the run took to it and
// confirmed to be the very directory; its renames are then taken back.
class DirectoryTakeBack {
public:
    DirectoryTakeBack(const JournalDirectory& directory, std::string_view since, RunSettings& settings,
                      Platform& platform)
        : directory_(directory), since_(since), settings_(settings), platform_(platform) {
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
        for (const JournalRename& rename : directory_.renames) {
            takeBack(rename, listing_ ? std::string_view() : reason);
            platform_.stopIfAsked();
        }
    }

private:
    bool open(std::string& reason) {
        if (!platform_.openDirectory(directory_.prefix, reason)) {
            return false;
        }
        for (const std::string& name : directory_.names) {
            const EnterResult entered =
                isPlainName(name, platform_.facts()) ? platform_.openSubdirectoryByName(name, reason) : EnterResult::failed;
            if (entered != EnterResult::entered) {
                reason = "its directory is not where the run left it";
                return false;
            }
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

    bool isRecorded(const FoundEntry& entry, const JournalRename& rename) const {
        return isOfKind(entry, rename.kind) && platform_.isEntryAsRecorded(entry, rename.identity, since_);
    }

    // Where a run was stopped between the two steps of a rename, the entry
    // is under a temporary name made of its old one.
    const FoundEntry* leftUnderTemporaryName(const JournalRename& rename) const {
        for (const FoundEntry& entry : *listing_) {
            const std::size_t mark = entry.name.find(".~tocase-");
            if (mark != std::string::npos && rename.oldName.starts_with(std::string_view(entry.name).substr(0, mark)) &&
                isRecorded(entry, rename)) {
                return &entry;
            }
        }
        return nullptr;
    }

    void fail(const JournalRename& rename, std::string_view reason) {
        const FoundEntry entry = entryAsRecorded(rename, rename.newName);
        listRename(EntryRef{header_, entry, rename.oldName, settings_, platform_, headerPrinted_},
                   {false, std::string(reason), {}});
    }

    void takeBack(const JournalRename& rename, std::string_view unreachable) {
        if (!unreachable.empty()) {
            fail(rename, unreachable);
            return;
        }
        if (!isPlainName(rename.oldName, platform_.facts()) || !isPlainName(rename.newName, platform_.facts())) {
            fail(rename, "the journal does not hold a plain name for it");
            return;
        }
        const FoundEntry* entry = listed(rename.newName);
        if (entry != nullptr && !isRecorded(*entry, rename)) {
            fail(rename, "another entry has taken its place");
            return;
        }
        if (entry == nullptr) {
            // Never renamed, or taken back already: passed over.
            const FoundEntry* unrenamed = listed(rename.oldName);
            if (unrenamed != nullptr && isRecorded(*unrenamed, rename)) {
                return;
            }
            entry = leftUnderTemporaryName(rename);
        }
        if (entry == nullptr) {
            fail(rename, "it is no longer there");
            return;
        }
        convertEntry(EntryRef{header_, *entry, rename.oldName, settings_, platform_, headerPrinted_});
    }

    const JournalDirectory& directory_;
    std::string_view since_;
    RunSettings& settings_;
    Platform& platform_;
    std::string header_;
    std::shared_ptr<const DirectoryListing> listing_;
    std::unordered_map<std::string_view, const FoundEntry*> byName_;
    bool headerPrinted_ = false;
};

}  // namespace

bool takeBackNewestRun(RunSettings& settings, Platform& platform) {
    std::string reason;
    const std::vector<std::string> journals = platform.journals(reason);
    if (!reason.empty()) {
        platform.writeErrorLine("no run can be taken back: " + reason);
        return false;
    }
    for (const std::string& name : journals) {
        std::string text;
        std::optional<JournalStart> start;
        if (!platform.readJournal(name, text, reason) || !(start = readJournalStart(text))) {
            continue;
        }
        if (!platform.isWorkingDirectoryAsRecorded(start->identity, start->time)) {
            continue;
        }
        settings.directoryMode = start->directoryMode;
        forEachDirectoryNewestFirst(text, [&](const JournalDirectory& directory, bool unreadable) {
            if (unreadable) {
                platform.writeErrorLine("a record of the journal '" + name + "' cannot be read, and is passed over");
                ++settings.failedCount;
                return;
            }
            DirectoryTakeBack(directory, start->time, settings, platform).run();
        });
        if (!settings.preview && !platform.markTakenBack(name, reason)) {
            platform.writeErrorLine("the run cannot be marked as taken back: " + reason);
        }
        return true;
    }
    platform.writeErrorLine("nothing to take back: no run started in this directory is left to take back");
    return false;
}

}  // namespace tocase
