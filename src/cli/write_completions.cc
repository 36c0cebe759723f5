// Fills a shell's completion template with the options of tocase, from the
// one table the parser and --help read, so that no completion can offer an
// option the tool does not take, nor miss one:
//   write_completions TEMPLATE OUTPUT
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

#include "cli/option_table.h"

namespace {

using tocase::OptionRow;
using tocase::optionTable;

// In single quotes, as every shell reads them.
std::string singleQuoted(std::string_view text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// The forms after / of a row: "/?, /H" gives "?" and "H".
template <typename Visit>
void forEachSlashForm(const OptionRow& row, Visit&& visit) {
    std::string_view forms = row.slashForm;
    while (!forms.empty()) {
        const std::size_t comma = forms.find(", ");
        visit(forms.substr(1, comma == std::string_view::npos ? std::string_view::npos : comma - 1));
        forms.remove_prefix(comma == std::string_view::npos ? forms.size() : comma + 2);
    }
}

template <typename Visit>
void forEachLongName(const OptionRow& row, Visit&& visit) {
    for (const std::string_view name : row.longNames) {
        if (!name.empty()) {
            visit(name);
        }
    }
}

std::string longOptions() {
    std::string words;
    for (const OptionRow& row : optionTable()) {
        forEachLongName(row, [&words](std::string_view name) {
            words.append(words.empty() ? "--" : " --").append(name);
        });
    }
    return words;
}

std::string slashOptions() {
    std::string words;
    for (const OptionRow& row : optionTable()) {
        forEachSlashForm(row, [&words](std::string_view form) {
            words.append(words.empty() ? "" : " ").append(form == "?" ? singleQuoted(form) : std::string(form));
        });
    }
    return words;
}

// One 'word:description' a line, as zsh's _describe takes them.
std::string zshDescribed(bool longNames) {
    std::string lines;
    for (const OptionRow& row : optionTable()) {
        const auto add = [&](std::string_view word) {
            lines.append("        ").append(singleQuoted(std::string(word) + ":" + std::string(row.description)));
            lines += '\n';
        };
        if (longNames) {
            forEachLongName(row, [&add](std::string_view name) { add("--" + std::string(name)); });
        } else {
            forEachSlashForm(row, add);
        }
    }
    if (!lines.empty()) {
        lines.pop_back();
    }
    return lines;
}

std::string fishOptions() {
    std::string lines;
    for (const OptionRow& row : optionTable()) {
        const std::string description = " -d " + singleQuoted(row.description);
        std::string line = "complete -c tocase";
        if (row.letter != '\0') {
            line.append(" -s ").append(1, static_cast<char>(row.letter - 'a' + 'A'));
        }
        if (row.action == tocase::OptionAction::mixed) {
            line.append(" -o mixed");
        }
        forEachLongName(row, [&line](std::string_view name) { line.append(" -l ").append(name); });
        if (line.size() > std::string_view("complete -c tocase").size()) {
            lines.append(line).append(description).append("\n");
        }
        forEachSlashForm(row, [&](std::string_view form) {
            lines.append("complete -c tocase -n 'string match -q -- \"/*\" (commandline -ct)' -a ")
                .append(singleQuoted(std::string("/").append(form)))
                .append(description)
                .append("\n");
        });
    }
    return lines;
}

void replaceAll(std::string& text, std::string_view key, const std::string& value) {
    for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size())) {
        text.replace(at, key.size(), value);
    }
}

}  // namespace

int main(int argumentCount, char** arguments) {
    if (argumentCount != 3) {
        std::cerr << "usage: write_completions TEMPLATE OUTPUT\n";
        return 2;
    }
    std::ifstream in(arguments[1], std::ios::binary);
    std::stringstream read;
    read << in.rdbuf();
    std::string text = read.str();
    if (!in) {
        std::cerr << "write_completions: cannot read " << arguments[1] << "\n";
        return 1;
    }
    replaceAll(text, "@LONG_OPTIONS@", longOptions());
    replaceAll(text, "@SLASH_OPTIONS@", slashOptions());
    replaceAll(text, "@ZSH_LONG_OPTIONS@", zshDescribed(true));
    replaceAll(text, "@ZSH_LETTER_OPTIONS@", zshDescribed(false));
    replaceAll(text, "@FISH_OPTIONS@", fishOptions());
    std::ofstream out(arguments[2], std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        std::cerr << "write_completions: cannot write " << arguments[2] << "\n";
        return 1;
    }
    return 0;
}
