#ifndef TOCASE_ENGINE_JOURNAL_FORMAT_H
#define TOCASE_ENGINE_JOURNAL_FORMAT_H

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tocase {

// The journal of a run is text a person can read: a line per record, its
// fields apart by single spaces. Names are written as they are, but a byte
// that could split or hide a field (a control byte, space, backslash, DEL)
// or that is not part of UTF-8 is written \xNN, so that every name, every
// byte but "/" and NUL, comes back exactly; an empty text (the prefix of
// the current directory) is written \e:
//
//   tocase journal 1
//   start <identity> <absolute path of the directory it ran in> <time>
//   mode files|directories
//   directory <identity> <prefix as typed> <subdirectory>...
//   rename <f|d|l> <identity> <old name> <new name>
//   unmade <place>...
//   gone <offset>
//   cut
//
// A directory's renames follow it, all written before the first is made;
// then, once they have been tried, the places among them (0 first) of the
// renames that were not made: refused, or never reached, with nothing
// changed. That line is written with the next directory's renames, or at
// the run's end; a run stopped first leaves it out. A take-back that finds an entry gone for good notes it by the
// offset of its rename line, so that the next one passes it over; where
// the journal's last line was cut short, it first ends that line and says
// "cut", so that the line is left out.
//
// Where a journal stands, and what moves it on:
//
//   state            step                                         next state
//   none             a run's first directory with renames: the    started
//                    journal appears with its start whole
//   started, done    a directory's renames, before any is made    planned
//   planned          its renames tried; which were not made,      done
//                    written with the next directory or at the end
//   started...done   the run ends having changed nothing          none
//   any of the run's a take-back leaves entries it could not      taken back in part
//   or in part       yet put back (and notes those gone for good)
//   any of those     a take-back puts back, or finds gone for     taken back in full
//                    good, every entry left
enum class JournalState { none, started, planned, done, takenBackInPart, takenBackInFull };

inline constexpr std::string_view journalFirstLine = "tocase journal 1";

std::string journalField(std::string_view bytes);
void appendJournalField(std::string& out, std::string_view bytes);
// Nothing when the field holds an escape that is not one of these.
std::optional<std::string> fromJournalField(std::string_view field);

// The kind of entry a rename line names: f a file, d a directory, l a link.
inline constexpr std::string_view journalKinds = "fdl";
constexpr char journalKind(bool isLink, bool isDirectory) { return isLink ? 'l' : isDirectory ? 'd' : 'f'; }

// What the run's journal says became of a rename.
enum class RenameEnd { made, notMade, unknown };  // unknown: the run stopped first

struct JournalRename {
    char kind = 'f';  // one of journalKinds
    std::string identity;
    std::string oldName;
    std::string newName;
    std::size_t offset = 0;  // of its line in the journal
    RenameEnd end = RenameEnd::unknown;
    bool gone = false;  // a take-back found its entry gone for good
};

struct JournalDirectory {
    std::string identity;
    std::string prefix;              // as typed; empty for the current directory
    std::vector<std::string> names;  // the subdirectories down to it
    std::vector<JournalRename> renames;
};

struct JournalStart {
    std::string identity;
    std::string path;
    std::string time;
    bool directoryMode = false;
};

std::string journalStartLines(const JournalStart& start);
std::string journalDirectoryLine(const JournalDirectory& directory);
void appendJournalRename(std::string& text, char kind, std::string_view identity, std::string_view oldName,
                         std::string_view newName);
// The places among a directory's renames of those not made.
std::string journalUnmadeLine(const std::vector<std::size_t>& places);
std::string journalGoneLine(std::size_t offset);

// The start of a journal; nothing when it is not one.
std::optional<JournalStart> readJournalStart(std::string_view text);

// Each directory with its renames, the last written first, as an undo
// takes them; one whose lines do not read is handed over empty, as
// `unreadable`. A last line cut short (a disk that filled) is left out, and
// every whole line before it used. Parsed one at a time, so a journal of a
// million renames costs no more than its text.
void forEachDirectoryNewestFirst(std::string_view text,
                                 const std::function<void(const JournalDirectory&, bool unreadable)>& visit);

}  // namespace tocase

#endif
