#ifndef TOCASE_PLATFORM_PLATFORM_H
#define TOCASE_PLATFORM_PLATFORM_H

#include <array>
#include <memory>
#include <string>
#include <string_view>

namespace tocase {

// The few facts about the operating system that the command line and the
// split of a file specification need.
struct PlatformFacts {
    bool hasDriveLetters = false;
    // An argument such as /home/me/*.TXT is a path, not an option.
    bool slashMayBeginPath = false;
    // Lead bytes of the active double-byte code page: the byte after one is
    // never a separator.
    std::array<bool, 256> leadBytes{};
};

struct FoundEntry {
    std::string name;
    bool isDirectory = false;
    bool isHidden = false;
    // A symbolic link, junction or other reparse point: never descended into.
    bool isLink = false;
};

// An open directory search. Entries come in the platform's own order.
class DirectorySearch {
public:
    virtual ~DirectorySearch() = default;
    // Fills `entry` and returns true, or returns false at the end (a failed
    // fetch counts as the end).
    virtual bool next(FoundEntry& entry) = 0;
};

// Everything the engine and the front end ask of the operating system.
class Platform {
public:
    virtual ~Platform() = default;

    virtual const PlatformFacts& facts() const = 0;

    // Searches `directoryPrefix` (as split off a file specification, possibly
    // empty) for names matching `namePattern`, ignoring case. Returns null
    // when the search cannot start.
    virtual std::unique_ptr<DirectorySearch> startSearch(std::string_view directoryPrefix,
                                                         std::string_view namePattern) = 0;

    // Renames `oldName` to `newName` inside `directoryPrefix`, provided the
    // entry is still a directory when `isDirectory` and still not one
    // otherwise, as the search found it. Never replaces or removes another
    // entry; true only when the directory now holds `newName` exactly.
    virtual bool renameEntry(std::string_view directoryPrefix, std::string_view oldName,
                             std::string_view newName, bool isDirectory) = 0;

    // Console output stream. Errors are not reported: a closed or failing
    // output never changes the run.
    virtual void writeOutput(std::string_view bytes) = 0;
    // Writes CR LF and flushes.
    virtual void endOutputLine() = 0;
};

// The platform the program runs on, chosen at build time.
std::unique_ptr<Platform> makeNativePlatform();

}  // namespace tocase

#endif
