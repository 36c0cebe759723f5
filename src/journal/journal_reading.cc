#include "journal/journal_reading.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <unordered_set>

#include "platform/name_store.h"

namespace tocase {
namespace {

std::vector<std::string_view> fieldsOf(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t space = line.find(' ', start);
        fields.push_back(line.substr(start, space - start));
        if (space == std::string_view::npos) {
            return fields;
        }
        start = space + 1;
    }
}

// A line of exactly `count` fields, split without allocating: rename lines
// are most of a journal.
template <std::size_t count>
std::optional<std::array<std::string_view, count>> exactFieldsOf(std::string_view line) {
    std::array<std::string_view, count> fields;
    std::size_t start = 0;
    for (std::size_t i = 0; i + 1 < count; ++i) {
        const std::size_t space = line.find(' ', start);
        if (space == std::string_view::npos) {
            return std::nullopt;
        }
        fields[i] = line.substr(start, space - start);
        start = space + 1;
    }
    fields[count - 1] = line.substr(start);
    if (fields[count - 1].find(' ') != std::string_view::npos) {
        return std::nullopt;
    }
    return fields;
}

// A field as it reads: the text itself where it holds no escape, which is
// most names; else unescaped into `store`. Nothing when it does not read.
std::optional<std::string_view> readField(std::string_view field, NameStore& store) {
    if (field.find('\\') == std::string_view::npos) {
        return field.empty() ? std::nullopt : std::optional<std::string_view>(field);
    }
    const std::optional<std::string> bytes = fromJournalField(field);
    return bytes ? std::optional<std::string_view>(store.keep(*bytes)) : std::nullopt;
}

std::optional<JournalRename> renameOf(std::string_view line, NameStore& store) {
    const std::optional<std::array<std::string_view, 5>> split = exactFieldsOf<5>(line);
    if (!split) {
        return std::nullopt;
    }
    const std::array<std::string_view, 5>& fields = *split;
    const std::string_view kind = fields[1];
    if (fields[0] != "rename" || kind.empty() || kind.size() > 2 ||
        journalKinds.find(kind[0]) == std::string_view::npos || (kind.size() == 2 && kind[1] != sharedNumberMark)) {
        return std::nullopt;
    }
    const std::optional<std::string_view> identity = readField(fields[2], store);
    const std::optional<std::string_view> oldName = readField(fields[3], store);
    const std::optional<std::string_view> newName = readField(fields[4], store);
    if (!identity || !oldName || !newName) {
        return std::nullopt;
    }
    return JournalRename{kind[0], kind.size() == 2, *identity, *oldName, *newName};
}

// "unmade 0 3" and "gone 1234": numbers after a word.
std::optional<std::vector<std::size_t>> numbersOf(std::string_view line) {
    std::vector<std::size_t> numbers;
    const std::vector<std::string_view> fields = fieldsOf(line);
    for (std::size_t i = 1; i < fields.size(); ++i) {
        std::size_t number = 0;
        const auto [end, error] = std::from_chars(fields[i].data(), fields[i].data() + fields[i].size(), number);
        if (error != std::errc() || end != fields[i].data() + fields[i].size() || fields[i].empty()) {
            return std::nullopt;
        }
        numbers.push_back(number);
    }
    return numbers;
}

std::optional<JournalDirectory> directoryOf(std::string_view line) {
    const std::vector<std::string_view> fields = fieldsOf(line);
    if (fields.size() < 3 || fields[0] != "directory") {
        return std::nullopt;
    }
    JournalDirectory directory;
    std::optional<std::string> identity = fromJournalField(fields[1]);
    std::optional<std::string> prefix = fromJournalField(fields[2]);
    if (!identity || !prefix) {
        return std::nullopt;
    }
    directory.identity = std::move(*identity);
    directory.prefix = std::move(*prefix);
    for (std::size_t i = 3; i < fields.size(); ++i) {
        std::optional<std::string> name = fromJournalField(fields[i]);
        if (!name) {
            return std::nullopt;
        }
        directory.names.push_back(std::move(*name));
    }
    return directory;
}

// "whole <time>"; nothing when it does not read.
std::optional<std::string> wholeOf(std::string_view line) {
    const std::optional<std::array<std::string_view, 2>> fields = exactFieldsOf<2>(line);
    return fields && (*fields)[0] == "whole" ? fromJournalField((*fields)[1]) : std::nullopt;
}

// The lines of one directory's record as the lines after it tell, gathered
// from the last line up: its renames, then, going up, "whole" and
// "unmade".
struct DirectoryGathering {
    NameStore kept;  // the unescaped fields of its renames
    std::vector<JournalRename> renames;
    std::optional<std::vector<std::size_t>> unmade;  // none: the run stopped first
    std::optional<std::string> listedBy;             // from "whole": none, the record is not whole
    std::size_t lines = 0;
    bool unreadable = false;

    bool fits() const {
        return !unmade || std::all_of(unmade->begin(), unmade->end(),
                                      [this](std::size_t place) { return place < renames.size(); });
    }

    // Each rename with what became of it, the last written first, as they
    // were gathered; "unmade" counts them in the order written.
    void complete(JournalDirectory& directory, const std::unordered_set<std::size_t>& gone, int version) {
        for (std::size_t place = 0; place < renames.size(); ++place) {
            JournalRename& rename = renames[renames.size() - 1 - place];
            rename.gone = gone.contains(rename.offset);
            if (unmade) {
                const bool notMade = std::find(unmade->begin(), unmade->end(), place) != unmade->end();
                rename.end = notMade ? RenameEnd::notMade : RenameEnd::made;
            }
        }
        directory.renames = std::move(renames);
        directory.listedBy = listedBy.value_or("");
        directory.whole = version < 2 || listedBy.has_value();
    }
};

constexpr std::size_t headLines = 3;

}  // namespace

// Its first three lines, each whole with its line end.
std::optional<JournalHead> readJournalHead(std::string_view text) {
    std::string_view lines[headLines];
    for (std::string_view& line : lines) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        line = text.substr(0, end);
        text.remove_prefix(end + 1);
    }
    const std::vector<std::string_view> start = fieldsOf(lines[1]);
    const int version = lines[0] == journalFirstLine ? 2 : lines[0] == journalFirstLineOfVersion1 ? 1 : 0;
    if (version == 0 || start.size() != 4 || start[0] != "start" ||
        (lines[2] != "mode files" && lines[2] != "mode directories")) {
        return std::nullopt;
    }
    std::optional<std::string> identity = fromJournalField(start[1]);
    std::optional<std::string> path = fromJournalField(start[2]);
    std::optional<std::string> time = fromJournalField(start[3]);
    if (!identity || !path || !time) {
        return std::nullopt;
    }
    return JournalHead{{std::move(*identity), std::move(*path), std::move(*time), lines[2] == "mode directories"},
                       version};
}

void forEachDirectoryNewestFirst(std::string_view text, const JournalHead& head,
                                 const std::function<void(const JournalDirectory&, bool unreadable)>& visit,
                                 JournalLeftovers& leftovers) {
    DirectoryGathering gathering;
    std::unordered_set<std::size_t> gone;
    // A last line without its line end was cut short, and so was one that
    // a "cut" line follows: left out.
    bool skipCutLine = false;
    // Line ends found going forward, where the search is fast, then the
    // lines visited from the last, the start's aside.
    std::vector<std::size_t> lineEnds;
    for (std::size_t newline = text.find('\n'); newline != std::string_view::npos;
         newline = text.find('\n', newline + 1)) {
        lineEnds.push_back(newline);
    }
    leftovers.unusedLines += !lineEnds.empty() && lineEnds.back() + 1 < text.size();
    for (std::size_t i = lineEnds.size(); i-- > headLines;) {
        const std::size_t start = lineEnds[i - 1] + 1;
        const std::string_view line = text.substr(start, lineEnds[i] - start);
        ++gathering.lines;
        if (skipCutLine) {
            skipCutLine = false;
            ++leftovers.unusedLines;
            --gathering.lines;
        } else if (line == "cut") {
            skipCutLine = true;
            --gathering.lines;
        } else if (line.starts_with("rename ")) {
            std::optional<JournalRename> rename = renameOf(line, gathering.kept);
            gathering.unreadable = gathering.unreadable || !rename;
            if (rename) {
                rename->offset = start;
                gathering.renames.push_back(*rename);
            }
        } else if (line.starts_with("whole ")) {
            gathering.listedBy = wholeOf(line);
            gathering.unreadable = gathering.unreadable || !gathering.listedBy || !gathering.renames.empty();
        } else if (line.starts_with("unmade")) {
            gathering.unmade = numbersOf(line);
            gathering.unreadable = gathering.unreadable || !gathering.unmade || !gathering.renames.empty() ||
                                   gathering.listedBy.has_value();
        } else if (line.starts_with("gone ")) {
            const std::optional<std::vector<std::size_t>> offsets = numbersOf(line);
            if (offsets && offsets->size() == 1) {
                gone.insert(offsets->front());
            } else {
                ++leftovers.unusedLines;
            }
            --gathering.lines;
        } else if (line.starts_with("directory ")) {
            std::optional<JournalDirectory> directory = directoryOf(line);
            if (directory && !gathering.unreadable && gathering.fits()) {
                gathering.complete(*directory, gone, head.version);
                visit(*directory, false);
            } else {
                ++leftovers.unreadableRecords;
                visit(JournalDirectory{}, true);
            }
            gathering = {};
        } else {
            ++leftovers.unusedLines;
            --gathering.lines;
        }
    }
    // Lines before the first directory belong to none.
    leftovers.unusedLines += gathering.lines;
}

}  // namespace tocase
