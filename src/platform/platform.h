#ifndef TOCASE_PLATFORM_PLATFORM_H
#define TOCASE_PLATFORM_PLATFORM_H

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tocase {

// The few facts about the operating system that the command line, the
// split of a file specification and the case mapping need.
struct PlatformFacts {
    bool hasDriveLetters = false;
    // An argument such as /home/me/*.TXT is a path, not an option.
    bool slashMayBeginPath = false;
    // Lead bytes of the active double-byte code page: the byte after one
    // belongs to the same character, never a separator or a letter.
    std::array<bool, 256> leadBytes{};
};

struct FoundEntry {
    std::string name;  // as the engine sees and prints it
    // The platform's own form of the name where it differs from `name`
    // (UTF-16 on Windows); only the platform reads it.
    std::string storedName;
    bool isDirectory = false;
    bool isHidden = false;
    // A symbolic link, junction or other reparse point: never descended into.
    bool isLink = false;
};

using EntryVisitor = std::function<void(const FoundEntry& entry)>;

struct RenameResult {
    bool renamed = false;
    // Set when the entry is left under a temporary name that it could not
    // be put back from, with the reason.
    std::string strandedName;
    std::string reason;
};

// Everything the engine and the front end ask of the operating system.
//
// The walk holds a stack of open directories; the one on top is the
// current directory, which searches and renames act on. A directory is
// entered only through its parent, and is the same directory for as long
// as it stays on the stack, whatever happens to the paths around it.
// Failures come with a reason for a person, in `reason`.
class Platform {
public:
    virtual ~Platform() = default;

    virtual const PlatformFacts& facts() const = 0;

    // Makes the directory that a file specification's directory prefix
    // names, as typed, the only open one.
    virtual bool openDirectory(std::string_view directoryPrefix, std::string& reason) = 0;
    // Opens a subdirectory that a search of the current directory found,
    // never through a link, and makes it current.
    virtual bool openSubdirectory(const FoundEntry& entry, std::string& reason) = 0;
    // Closes the current directory, so the one it was opened from is
    // current again. False when that one cannot be reached again as the
    // same directory; it is then current but unusable, and closed in turn.
    virtual bool closeDirectory(std::string& reason) = 0;

    // Hands `visit` every entry of the current directory whose name matches
    // `namePattern` (ignoring case; "*.*" matches every name). The directory
    // is read to its end before the first is handed over, so renames made
    // meanwhile neither skip nor repeat one. False, with nothing handed
    // over, when it cannot be read to its end.
    virtual bool searchDirectory(std::string_view namePattern, const EntryVisitor& visit,
                                 std::string& reason) = 0;

    // Renames a found entry of the current directory to `newName`, which
    // differs from its name only in the case of ASCII letters (lowered
    // when `toLower`), provided it is still of the kind the search found.
    // Never replaces or removes another entry; renamed only when the
    // directory then holds the new name exactly.
    virtual RenameResult renameEntry(const FoundEntry& entry, std::string_view newName,
                                     bool toLower) = 0;

    // Console output stream. Errors are not reported: a closed or failing
    // output never changes the run.
    virtual void writeOutput(std::string_view bytes) = 0;
    // Writes CR LF and flushes.
    virtual void endOutputLine() = 0;
    // One line for a person on standard error, after "tocase: ".
    virtual void writeErrorLine(std::string_view text) = 0;

    // Called between entries: when a stop signal has arrived, ends the
    // process as that signal asks.
    virtual void stopIfAsked() = 0;
};

// The platform the program runs on, chosen at build time.
std::unique_ptr<Platform> makeNativePlatform();

}  // namespace tocase

#endif
