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
//
// A directory's renames follow it, all written before the first is made.

inline constexpr std::string_view journalFirstLine = "tocase journal 1";

std::string journalField(std::string_view bytes);
// Nothing when the field holds an escape that is not one of these.
std::optional<std::string> fromJournalField(std::string_view field);

struct JournalRename {
    char kind = 'f';  // f: file, d: directory, l: link
    std::string identity;
    std::string oldName;
    std::string newName;
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

// The start of a journal; nothing when it is not one.
std::optional<JournalStart> readJournalStart(std::string_view text);

// Each directory with its renames, the last written first, as an undo
// takes them; one whose lines do not read is handed over empty, as
// `unreadable`. Parsed one at a time, so a journal of a million renames
// costs no more than its text.
void forEachDirectoryNewestFirst(std::string_view text,
                                 const std::function<void(const JournalDirectory&, bool unreadable)>& visit);

}  // namespace tocase

#endif
