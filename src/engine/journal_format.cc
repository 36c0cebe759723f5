#include "engine/journal_format.h"

#include "text/utf8.h"

namespace tocase {
namespace {

constexpr char hexDigits[] = "0123456789ABCDEF";

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

std::string_view lineAt(std::string_view text, std::size_t start) {
    return text.substr(start, text.find('\n', start) - start);
}

std::optional<JournalRename> renameOf(std::string_view line) {
    const std::vector<std::string_view> fields = fieldsOf(line);
    if (fields.size() != 5 || fields[0] != "rename" || fields[1].size() != 1 ||
        std::string_view("fdl").find(fields[1][0]) == std::string_view::npos) {
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

std::string journalField(std::string_view bytes) {
    if (bytes.empty()) {
        return "\\e";
    }
    std::string field;
    field.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        // Most names are plain ASCII, taken a byte at a time.
        const auto byte = static_cast<unsigned char>(bytes[at]);
        if (byte > 0x20 && byte < 0x7F && byte != '\\') {
            field += static_cast<char>(byte);
            ++at;
            continue;
        }
        const NameUnit unit = decodeNameUnit(bytes, at, false);
        if (isPlain(unit)) {
            field.append(bytes.substr(at, unit.length));
            at += unit.length;
            continue;
        }
        for (std::size_t i = 0; i < unit.length; ++i) {
            const auto byte = static_cast<unsigned char>(bytes[at + i]);
            field += "\\x";
            field += hexDigits[byte >> 4];
            field += hexDigits[byte & 0xF];
        }
        at += unit.length;
    }
    return field;
}

std::optional<std::string> fromJournalField(std::string_view field) {
    if (field == "\\e") {
        return std::string();
    }
    std::string bytes;
    for (std::size_t at = 0; at < field.size(); ++at) {
        if (field[at] != '\\') {
            bytes += field[at];
            continue;
        }
        const int high = at + 3 < field.size() && field[at + 1] == 'x' ? hexValue(field[at + 2]) : -1;
        const int low = high >= 0 ? hexValue(field[at + 3]) : -1;
        if (low < 0) {
            return std::nullopt;
        }
        bytes += static_cast<char>(high << 4 | low);
        at += 3;
    }
    return bytes.empty() ? std::nullopt : std::optional<std::string>(std::move(bytes));
}

namespace {

void appendFields(std::string& line, std::initializer_list<std::string_view> fields) {
    for (const std::string_view field : fields) {
        line.append(" ").append(journalField(field));
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

std::optional<JournalStart> readJournalStart(std::string_view text) {
    const std::size_t second = text.find('\n') + 1;
    const std::size_t third = second == 0 ? 0 : text.find('\n', second) + 1;
    if (lineAt(text, 0) != journalFirstLine || second == 0 || third == 0) {
        return std::nullopt;
    }
    const std::vector<std::string_view> start = fieldsOf(lineAt(text, second));
    const std::string_view mode = lineAt(text, third);
    if (start.size() != 4 || start[0] != "start" || (mode != "mode files" && mode != "mode directories")) {
        return std::nullopt;
    }
    std::optional<std::string> identity = fromJournalField(start[1]);
    std::optional<std::string> path = fromJournalField(start[2]);
    std::optional<std::string> time = fromJournalField(start[3]);
    if (!identity || !path || !time) {
        return std::nullopt;
    }
    return JournalStart{std::move(*identity), std::move(*path), std::move(*time), mode == "mode directories"};
}

void forEachDirectoryNewestFirst(std::string_view text,
                                 const std::function<void(const JournalDirectory&, bool unreadable)>& visit) {
    std::vector<JournalRename> renames;
    bool unreadable = false;
    // From the end, line by line: renames gather until their directory.
    std::size_t end = text.ends_with('\n') ? text.size() - 1 : text.size();
    for (;;) {
        const std::size_t newline = end == 0 ? std::string_view::npos : text.rfind('\n', end - 1);
        const std::size_t start = newline == std::string_view::npos ? 0 : newline + 1;
        const std::string_view line = text.substr(start, end - start);
        if (line.starts_with("rename ")) {
            std::optional<JournalRename> rename = renameOf(line);
            unreadable = unreadable || !rename;
            if (rename) {
                renames.push_back(std::move(*rename));
            }
        } else if (line.starts_with("directory ")) {
            std::optional<JournalDirectory> directory = directoryOf(line);
            if (directory && !unreadable) {
                directory->renames = std::move(renames);
                visit(*directory, false);
            } else {
                visit(JournalDirectory{}, true);
            }
            renames.clear();
            unreadable = false;
        }
        if (newline == std::string_view::npos) {
            return;
        }
        end = newline;
    }
}

}  // namespace tocase
