#ifndef TOCASE_JOURNAL_JOURNAL_READING_H
#define TOCASE_JOURNAL_JOURNAL_READING_H

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "journal/journal_format.h"

namespace tocase {

// A journal as a take-back reads it (the lines: journal_format.h).

struct JournalHead {
    JournalStart start;
    int version = 2;
};

// The start of a journal; nothing when it is not one.
std::optional<JournalHead> readJournalHead(std::string_view text);

// What the run's journal says became of a rename.
enum class RenameEnd { made, notMade, unknown };  // unknown: the run stopped first

struct JournalRename {
    char kind = 'f';  // one of journalKinds
    bool sharesNumber = false;
    // In the journal's text where they hold no escape; else kept with the
    // directory they belong to, for as long as it is handed over.
    std::string_view identity;
    std::string_view oldName;
    std::string_view newName;
    std::size_t offset = 0;  // of its line in the journal
    RenameEnd end = RenameEnd::unknown;
    bool gone = false;  // a take-back found its entry gone for good
};

struct JournalDirectory {
    std::string identity;
    std::string prefix;              // as typed; empty for the current directory
    std::vector<std::string> names;  // the subdirectories down to it
    std::vector<JournalRename> renames;
    // What every entry of the record was listed by; empty where the journal
    // does not say (version 1): the run's start then.
    std::string listedBy;
    // Whether the record was written whole; one that was not (a disk that
    // filled, a stop) may lack renames that were made after it.
    bool whole = true;
};

// What a reading met that is no record to take back.
struct JournalLeftovers {
    // Lines that belong to no directory, or that a "cut" leaves out, and
    // the last line where it lacks its line end.
    std::size_t unusedLines = 0;
    // Records whose lines do not read; handed over as `unreadable`.
    std::size_t unreadableRecords = 0;
};

// Each directory with its renames, the last written first, as an undo
// takes them; one whose lines do not read is handed over empty, as
// `unreadable`. A last line cut short (a disk that filled) is left out, and
// every whole line before it used. Parsed a record at a time, so a journal
// of a million renames costs no more than its text and its largest record.
void forEachDirectoryNewestFirst(std::string_view text, const JournalHead& head,
                                 const std::function<void(const JournalDirectory&, bool unreadable)>& visit,
                                 JournalLeftovers& leftovers);

}  // namespace tocase

#endif
