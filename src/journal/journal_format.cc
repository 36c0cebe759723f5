#include "journal/journal_format.h"

#include <algorithm>

#include "text/ascii_words.h"
#include "text/utf8.h"

namespace tocase {
namespace {

constexpr char hexDigits[] = "0123456789ABCDEF";

// The bytes a field holds as they are, looked for eight at a time: every
// name a run renames is written twice.
std::size_t endOfPlainAscii(std::string_view bytes, std::size_t at) {
    using namespace ascii_words;
    return firstMarkedByte(bytes, at, [](Word word) {
        return (~inRange(word, 0x21, 0x7E) & highBits) | equalTo(word, '\\');
    });
}

bool isPlain(const NameUnit& unit) {
    return unit.valid && unit.codePoint > 0x20 && unit.codePoint != 0x7F && unit.codePoint != '\\';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
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
        const std::size_t plainEnd = endOfPlainAscii(bytes, at);
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

void appendJournalDirectory(std::string& text, std::string_view identity, std::string_view prefix,
                            const std::vector<std::string>& subdirectories) {
    text.append("directory");
    appendFields(text, {identity, prefix});
    for (const std::string& name : subdirectories) {
        appendFields(text, {name});
    }
    text.append("\n");
}

void appendJournalRename(std::string& text, char kind, bool sharesNumber, std::string_view identity,
                         std::string_view oldName, std::string_view newName) {
    text.append("rename ").append(1, kind);
    if (sharesNumber) {
        text += sharedNumberMark;
    }
    appendFields(text, {identity, oldName, newName});
    text.append("\n");
}

void appendJournalWhole(std::string& text, std::string_view listedBy) {
    text.append("whole");
    appendFields(text, {listedBy});
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

}  // namespace tocase
