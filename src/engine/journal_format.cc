#include "engine/journal_format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <unordered_set>

#include "text/utf8.h"

namespace tocase {
namespace {

constexpr char hexDigits[] = "0123456789ABCDEF";

// The bytes a field holds as they are, by table: every name a run renames
// is written twice.
constexpr std::array<bool, 256> plainAsciiTable = [] {
    std::array<bool, 256> table{};
    for (int byte = 0x21; byte < 0x7F; ++byte) {
        table[static_cast<std::size_t>(byte)] = byte != '\\';
    }
    return table;
}();

bool isPlainAscii(unsigned char byte) { return plainAsciiTable[byte]; }

bool isPlain(const NameUnit& unit) {
    return unit.valid && unit.codePoint > 0x20 && unit.codePoint != 0x7F && unit.codePoint != '\\';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

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

std::optional<JournalRename> renameOf(std::string_view line) {
    const std::optional<std::array<std::string_view, 5>> split = exactFieldsOf<5>(line);
    if (!split) {
        return std::nullopt;
    }
    const std::array<std::string_view, 5>& fields = *split;
    if (fields[0] != "rename" || fields[1].size() != 1 ||
        journalKinds.find(fields[1][0]) == std::string_view::npos) {
        return std::nullopt;
    }
    std::optional<std::string> identity = fromJournalField(fields[2]);
    std::optional<std::string> oldName = fromJournalField(fields[3]);
    std::optional<std::string> newName = fromJournalField(fields[4]);
    if (!identity || !oldName || !newName) {
        return std::nullopt;
    }
    return JournalRename{fields[1][0], std::move(*identity), std::move(*oldName), std::move(*newName)};
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

}  // namespace

// Plain printable ASCII, which most names are made of, is copied a run at
// a time.
void appendJournalField(std::string& out, std::string_view bytes) {
    if (bytes.empty()) {
        out += "\\e";
        return;
    }
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t plainEnd = at;
        while (plainEnd < bytes.size() && isPlainAscii(static_cast<unsigned char>(bytes[plainEnd]))) {
            ++plainEnd;
        }
        out.append(bytes.substr(at, plainEnd - at));
        at = plainEnd;
        if (at == bytes.size()) {
            return;
        }
        const NameUnit unit = decodeNameUnit(bytes, at, false);
        if (isPlain(unit)) {
            out.append(bytes.substr(at, unit.length));
        } else {
            for (std::size_t i = 0; i < unit.length; ++i) {
                const auto byte = static_cast<unsigned char>(bytes[at + i]);
                out += "\\x";
                out += hexDigits[byte >> 4];
                out += hexDigits[byte & 0xF];
            }
        }
        at += unit.length;
    }
}

std::string journalField(std::string_view bytes) {
    std::string field;
    appendJournalField(field, bytes);
    return field;
}

std::optional<std::string> fromJournalField(std::string_view field) {
    if (field == "\\e") {
        return std::string();
    }
    // Copied a run at a time between escapes: most fields have none.
    std::string bytes;
    bytes.reserve(field.size());
    for (std::size_t at = 0;;) {
        const std::size_t escape = std::min(field.find('\\', at), field.size());
        bytes.append(field.substr(at, escape - at));
        if (escape == field.size()) {
            break;
        }
        const int high = escape + 3 < field.size() && field[escape + 1] == 'x' ? hexValue(field[escape + 2]) : -1;
        const int low = high >= 0 ? hexValue(field[escape + 3]) : -1;
        if (low < 0) {
            return std::nullopt;
        }
        bytes += static_cast<char>(high << 4 | low);
        at = escape + 4;
    }
    return bytes.empty() ? std::nullopt : std::optional<std::string>(std::move(bytes));
}

namespace {

void appendFields(std::string& line, std::initializer_list<std::string_view> fields) {
    for (const std::string_view field : fields) {
        line += ' ';
        appendJournalField(line, field);
    }
}

}  // namespace

std::string journalStartLines(const JournalStart& start) {
    std::string text(journalFirstLine);
    text.append("\nstart");
    appendFields(text, {start.identity, start.path, start.time});
    return text.append(start.directoryMode ? "\nmode directories\n" : "\nmode files\n");
}

std::string journalDirectoryLine(const JournalDirectory& directory) {
    std::string line = "directory";
    appendFields(line, {directory.identity, directory.prefix});
    for (const std::string& name : directory.names) {
        appendFields(line, {name});
    }
    return line.append("\n");
}

void appendJournalRename(std::string& text, char kind, std::string_view identity, std::string_view oldName,
                         std::string_view newName) {
    const char kindText[] = {' ', kind, '\0'};
    text.append("rename").append(kindText);
    appendFields(text, {identity, oldName, newName});
    text.append("\n");
}

std::string journalUnmadeLine(const std::vector<std::size_t>& places) {
    std::string line = "unmade";
    for (const std::size_t place : places) {
        line.append(" ").append(std::to_string(place));
    }
    return line.append("\n");
}

std::string journalGoneLine(std::size_t offset) { return "gone " + std::to_string(offset) + "\n"; }

// Its first three lines, each whole with its line end.
std::optional<JournalStart> readJournalStart(std::string_view text) {
    std::string_view lines[3];
    for (std::string_view& line : lines) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        line = text.substr(0, end);
        text.remove_prefix(end + 1);
    }
    const std::vector<std::string_view> start = fieldsOf(lines[1]);
    if (lines[0] != journalFirstLine || start.size() != 4 || start[0] != "start" ||
        (lines[2] != "mode files" && lines[2] != "mode directories")) {
        return std::nullopt;
    }
    std::optional<std::string> identity = fromJournalField(start[1]);
    std::optional<std::string> path = fromJournalField(start[2]);
    std::optional<std::string> time = fromJournalField(start[3]);
    if (!identity || !path || !time) {
        return std::nullopt;
    }
    return JournalStart{std::move(*identity), std::move(*path), std::move(*time), lines[2] == "mode directories"};
}

namespace {

// The renames of one directory as the lines after it tell, gathered from
// the last line up.
struct DirectoryGathering {
    std::vector<JournalRename> renames;
    std::optional<std::vector<std::size_t>> unmade;  // none: the run stopped first
    bool unreadable = false;

    bool fits() const {
        return !unmade || std::all_of(unmade->begin(), unmade->end(),
                                      [this](std::size_t place) { return place < renames.size(); });
    }

    // The renames in the order written, each with what became of it.
    std::vector<JournalRename> taken(const std::unordered_set<std::size_t>& gone) {
        std::reverse(renames.begin(), renames.end());
        for (std::size_t place = 0; place < renames.size(); ++place) {
            JournalRename& rename = renames[place];
            rename.gone = gone.contains(rename.offset);
            if (unmade) {
                const bool notMade = std::find(unmade->begin(), unmade->end(), place) != unmade->end();
                rename.end = notMade ? RenameEnd::notMade : RenameEnd::made;
            }
        }
        std::reverse(renames.begin(), renames.end());
        return std::move(renames);
    }
};

}  // namespace

void forEachDirectoryNewestFirst(std::string_view text,
                                 const std::function<void(const JournalDirectory&, bool unreadable)>& visit) {
    DirectoryGathering gathering;
    std::unordered_set<std::size_t> gone;
    // A last line without its line end was cut short, and so was one that
    // a "cut" line follows: left out.
    bool skipCutLine = false;
    // Line ends found going forward, where the search is fast, then the
    // lines visited from the last.
    std::vector<std::size_t> lineEnds;
    for (std::size_t newline = text.find('\n'); newline != std::string_view::npos;
         newline = text.find('\n', newline + 1)) {
        lineEnds.push_back(newline);
    }
    for (std::size_t i = lineEnds.size(); i-- > 0;) {
        const std::size_t start = i == 0 ? 0 : lineEnds[i - 1] + 1;
        const std::string_view line = text.substr(start, lineEnds[i] - start);
        if (skipCutLine) {
            skipCutLine = false;
        } else if (line == "cut") {
            skipCutLine = true;
        } else if (line.starts_with("rename ")) {
            std::optional<JournalRename> rename = renameOf(line);
            gathering.unreadable = gathering.unreadable || !rename;
            if (rename) {
                rename->offset = start;
                gathering.renames.push_back(std::move(*rename));
            }
        } else if (line.starts_with("unmade")) {
            gathering.unmade = numbersOf(line);
            gathering.unreadable = gathering.unreadable || !gathering.unmade || !gathering.renames.empty();
        } else if (line.starts_with("gone ")) {
            const std::optional<std::vector<std::size_t>> offsets = numbersOf(line);
            if (offsets && offsets->size() == 1) {
                gone.insert(offsets->front());
            }
        } else if (line.starts_with("directory ")) {
            std::optional<JournalDirectory> directory = directoryOf(line);
            if (directory && !gathering.unreadable && gathering.fits()) {
                directory->renames = gathering.taken(gone);
                visit(*directory, false);
            } else {
                visit(JournalDirectory{}, true);
            }
            gathering = {};
        }
    }
}

}  // namespace tocase
