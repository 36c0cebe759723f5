#ifndef TOCASE_JOURNAL_JOURNAL_FORMAT_H
#define TOCASE_JOURNAL_JOURNAL_FORMAT_H

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
//   tocase journal 2
//   start <identity> <absolute path of the directory it ran in> <time>
//   mode files|directories
//   directory <identity> <prefix as typed> <subdirectory>...
//   rename <f|d|l>[*] <identity> <old name> <new name>
//   whole <time>
//   unmade <place>...
//   gone <offset>
//   cut
//
// A directory's record is its line, a line per rename it is to make, and
// "whole", which says the record is complete and that every entry in it
// was listed by <time>: all written before the first of its renames is
// made. "*" after a kind says that another entry of the directory shared
// the entry's number: it is never looked for by its number. Once its
// renames have been tried, "unmade" gives the places among them (0 first)
// of those not made: refused, or never reached, with nothing changed; it
// is written with the next directory's record, or at the run's end, and a
// run stopped first leaves it out. A take-back that finds an entry gone for
// good notes it by the offset of its rename line, so that the next one
// passes it over; where the journal's last line was cut short, it first
// ends that line and says "cut", so that the line is left out. Journals of
// version 1 have no "whole" and no "*".
inline constexpr std::string_view journalFirstLine = "tocase journal 2";
inline constexpr std::string_view journalFirstLineOfVersion1 = "tocase journal 1";

std::string journalField(std::string_view bytes);
void appendJournalField(std::string& out, std::string_view bytes);
// Nothing when the field holds an escape that is not one of these.
std::optional<std::string> fromJournalField(std::string_view field);

// The kind of entry a rename line names: f a file, d a directory, l a link.
inline constexpr std::string_view journalKinds = "fdl";
constexpr char journalKind(bool isLink, bool isDirectory) { return isLink ? 'l' : isDirectory ? 'd' : 'f'; }
// After the kind: another entry of the directory shared its number.
inline constexpr char sharedNumberMark = '*';

struct JournalStart {
    std::string identity;
    std::string path;
    std::string time;
    bool directoryMode = false;
};

std::string journalStartLines(const JournalStart& start);
void appendJournalDirectory(std::string& text, std::string_view identity, std::string_view prefix,
                            const std::vector<std::string>& subdirectories);
void appendJournalRename(std::string& text, char kind, bool sharesNumber, std::string_view identity,
                         std::string_view oldName, std::string_view newName);
void appendJournalWhole(std::string& text, std::string_view listedBy);
// The places among a directory's renames of those not made.
std::string journalUnmadeLine(const std::vector<std::size_t>& places);
std::string journalGoneLine(std::size_t offset);

}  // namespace tocase

#endif
