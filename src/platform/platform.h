#ifndef TOCASE_PLATFORM_PLATFORM_H
#define TOCASE_PLATFORM_PLATFORM_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console.h"
#include "platform/failure.h"
#include "platform/name_store.h"
#include "platform/platform_facts.h"

namespace tocase {

struct FoundEntry {
    // Followed by a NUL where it is kept (a listing's names, a std::string),
    // so that it can be handed to the system as it is.
    std::string_view name;
    bool isDirectory = false;
    bool isHidden = false;
    // A symbolic link, junction or other reparse point: never descended
    // into, and renamed only while it still is one.
    bool isLink = false;
    // Which file it is, as the listing tells: the inode number on POSIX,
    // the file ID on Windows.
    std::uint64_t fileId = 0;
};

// A directory's entries, "." and ".." included, in the order the system
// gives them, their names kept together.
class DirectoryListing {
public:
    // An entry holding a copy of `name`; the others describe it.
    FoundEntry& add(std::string_view name);
    // A copy of an entry of another listing.
    FoundEntry& add(const FoundEntry& entry);

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    const FoundEntry& operator[](std::size_t index) const { return entries_[index]; }
    std::vector<FoundEntry>::const_iterator begin() const { return entries_.begin(); }
    std::vector<FoundEntry>::const_iterator end() const { return entries_.end(); }
    // To tell more of the entries once read; their names stay as kept.
    std::vector<FoundEntry>::iterator begin() { return entries_.begin(); }
    std::vector<FoundEntry>::iterator end() { return entries_.end(); }
    // When the reading that listed the entries ended, as a journal records
    // it: every entry listed was made by then.
    const std::string& timeRead() const { return timeRead_; }
    void setTimeRead(std::string time) { timeRead_ = std::move(time); }
    // How often the entries were moved to larger storage as they came:
    // doubling each time, so a million entries move about once each.
    std::size_t enlargements() const { return enlargements_; }

private:
    std::vector<FoundEntry> entries_;
    NameStore names_;
    std::string timeRead_;
    std::size_t enlargements_ = 0;
};

// How an attempt to enter a directory ended: a link is never part of the
// tree, so passed by without a word; a refusal is the tool's own choice
// (another file system); `missing` is no directory of that name, a failure
// any other reason the system gave.
enum class EnterResult { entered, link, refused, missing, failed };

// Called before a rename goes round a temporary name that cannot hold the
// whole original name, so that a person can still recover it.
using TemporaryNameNotice = std::function<void(std::string_view temporaryName)>;

struct RenameResult {
    bool renamed = false;
    // Why not, when not renamed.
    Failure failure;
    // Set when the entry is left under a temporary name that it could not
    // be put back from.
    std::string strandedName;
    // Where, when not in its own directory: a folder for a person.
    std::string strandedFolder = {};
    // Beside a rename made: why its new spelling could not be confirmed.
    Failure spellingUnconfirmed = {};
};

// Everything the engine and the front end ask of the operating system; one
// source file per system implements it, chosen by the build.
//
// The walk holds a stack of open directories; the one on top is the
// current directory, which listings and renames act on. A directory is
// entered only through its parent, and is the same directory for as long
// as it stays on the stack, whatever happens to the paths around it.
// Failures come with their kind, in `failure`.
class Platform {
public:
    Platform();
    ~Platform();
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    const PlatformFacts& facts() const;

    // The command line, the program's name first, as the engine reads it.
    std::vector<std::string> commandLine(int argumentCount, char** arguments);

    // Makes the directory that a file specification's directory prefix
    // names, as typed, the only open one.
    EnterResult openDirectory(std::string_view directoryPrefix, Failure& failure);
    // Opens a subdirectory that a listing of the current directory found,
    // never through a link nor into another file system, and makes it
    // current.
    EnterResult openSubdirectory(const FoundEntry& entry, Failure& failure);
    // The same for a subdirectory no listing found, known by its name
    // alone (a run taken back goes down the path the run took): whoever
    // asks confirms it is the directory wanted.
    EnterResult openSubdirectoryByName(const std::string& name, Failure& failure);
    // Closes the current directory, so the one it was opened from is
    // current again. False when that one cannot be reached again as the
    // same directory; it is then current but unusable, and closed in turn.
    bool closeDirectory(Failure& failure);
    // Whether the current directory is still the entry of its parent that
    // it was opened as; the first directory always is.
    bool currentIsStillInItsParent(Failure& failure);

    // Every entry of the current directory, read to its end before any is
    // renamed, so that renames neither skip nor repeat one. Null when it
    // cannot be read to its end. A system may hand back the same reading
    // again while nothing has been renamed in the directory since.
    std::shared_ptr<const DirectoryListing> listDirectory(Failure& failure);

    // The listed entries of the current directory about to be renamed (or
    // previewed), in the order listed. Each is confirmed, before its rename,
    // to be still the entry listed: under its name, the same file (POSIX:
    // the same inode number, where numbers last; Windows: the same file ID)
    // of the same kind. On POSIX one reading of the directory confirms them,
    // a reading buffer at a time as the renames come, so what is left open
    // is the time between a buffer's reading and its renames; an entry not
    // announced is looked at alone.
    void announceRenames(const std::vector<const FoundEntry*>& entries);
    // Gives a listed entry of the current directory the name `newName`,
    // provided it is still the entry listed. Never replaces or removes
    // another entry. Renamed only where the new name is seen to hold
    // exactly: on Windows each one is looked at again; on POSIX the
    // directory is read back after renames until one shows that the file
    // system keeps the spelling asked for, which holds for the rest of the
    // run: the walk stays on one file system. A rename the system made is
    // never reported as failed for a reading that cannot show it (a cache
    // that lags, a reading that fails): renamed, with a notice.
    RenameResult renameEntry(const FoundEntry& entry, const std::string& newName, const TemporaryNameNotice& notice);
    // What renameEntry would answer, as far as can be known without
    // renaming: refused where another entry holds the new name, counting
    // the names the renames previewed before it in this directory would
    // have made, and for what the system would refuse beforehand, with the
    // failure the rename would meet.
    RenameResult previewRename(const FoundEntry& entry, const std::string& newName);

    // Why the directory the tool runs in cannot be taken for the one it was
    // run from; no failure where it can. Where it cannot, a run and a
    // take-back rename nothing.
    Failure whyWorkingDirectoryIsUnknown();

    // Identities as a journal records them: of the directory the tool runs
    // in, of the current directory, and of an entry the current directory
    // listed. Where the file system gives no lasting file numbers (FUSE),
    // an entry is known by its size, a directory by its device, the
    // directory run in by its path.
    std::string workingDirectoryIdentity();
    std::string workingDirectoryPath();
    std::string currentDirectoryIdentity();
    std::string entryIdentity(const FoundEntry& entry);
    // Whether no two entries of the current directory can share an identity:
    // not where it is made of a size and a time.
    bool identitiesAreUnique();
    // The time a run's journal records as its start, in the form listings
    // give theirs (DirectoryListing::timeRead): whatever was made before
    // the run reads the same or earlier.
    std::string runStartTime();
    // Returns once the clock file systems stamp a file's making with, which
    // lags the precise time by up to a tick, reads later than `time`: a
    // file made from then on can never be taken for one made by `time`.
    void waitForStampsAfter(std::string_view time);
    // Whether an identity recorded by a run is still that of the same file:
    // the same identity, and where the system tells when a file was made,
    // not made after `madeBy`, the time the run recorded it had been made
    // by (else its number was freed and given anew).
    bool isWorkingDirectoryAsRecorded(std::string_view identity, std::string_view madeBy);
    bool isCurrentDirectoryAsRecorded(std::string_view identity, std::string_view madeBy);
    bool isEntryAsRecorded(const FoundEntry& entry, std::string_view identity, std::string_view madeBy);

    // Console output stream, in UTF-8, which the platform writes as its
    // output wants it. A write that would block waits; one that fails for
    // good takes nothing more, and never changes the run.
    void writeOutput(std::string_view bytes);
    // Writes CR LF and flushes.
    void endOutputLine();
    // One line for a person on standard error, after "tocase: ".
    void writeErrorLine(std::string_view text);

    // Called between entries: when a stop signal has arrived, ends the
    // process as that signal asks.
    void stopIfAsked();

private:
    // What each system keeps, in its own file.
    struct State;
    std::unique_ptr<State> state_;
    // What both keep alike.
    Console console_;
};

}  // namespace tocase

#endif
