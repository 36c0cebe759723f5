#include "case_table.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace tocase {
namespace {

// %XX is the byte XX.
std::string decoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string word; in >> word;) out.push_back(word == "''" ? "" : decoded(word));
    return out;
}

std::vector<Case> readCases() {
    std::ifstream in(TOCASE_CASES_FILE);
    if (!in) throw std::runtime_error("cannot read " TOCASE_CASES_FILE);
    std::map<std::string, std::string> blocks;
    std::string defining;
    std::vector<Case> cases;
    for (std::string line; std::getline(in, line);) {
        const std::string rest = line.size() > 2 ? line.substr(2) : "";
        if (!defining.empty()) {
            if (line == "end") defining.clear();
            else blocks[defining] += rest + "\r\n";
        } else if (line.empty() || line[0] == '#') {
        } else if (line.starts_with("define ")) {
            defining = line.substr(7);
        } else if (line.starts_with("== ")) {
            cases.emplace_back().title = line.substr(3);
        } else if (cases.empty()) {
            throw std::runtime_error("outside a case: " + line);
        } else if (line[0] == '|') {
            cases.back().output += rest + "\r\n";
        } else if (line[0] == '=') {
            cases.back().output += "\r\n" + rest + "\r\n";
        } else if (line[0] == '@') {
            cases.back().output += blocks.at(line.substr(1));
        } else if (line[0] == '!') {
            cases.back().errors.push_back(rest);
        } else if (line.starts_with("$ tocase")) {
            cases.back().arguments = words(line.substr(8));
        } else if (line.starts_with("tree ")) {
            for (const std::string& entry : words(line.substr(5))) cases.back().tree.push_back(entry);
        } else if (line.starts_with("after ")) {
            for (const std::string& entry : words(line.substr(6))) cases.back().after.push_back(entry);
        } else if (line.starts_with("needs ")) {
            for (const std::string& feature : words(line.substr(6))) cases.back().needs.insert(feature);
        } else {
            throw std::runtime_error("not understood: " + line);
        }
    }
    for (Case& c : cases) {
        c.output += "\r\n";
        if (c.after.empty()) c.after = c.tree;
        std::sort(c.after.begin(), c.after.end());
    }
    return cases;
}

// The output with the listing lines of each directory, and the
// directories, in sorted order, for file systems that list entries in
// their own order; the in-memory level holds the walk to its order.
std::string sorted(const std::string& output) {
    std::vector<std::vector<std::string>> blocks;
    std::istringstream in(output);
    std::string line;
    while (std::getline(in, line) && line != "\r") {
        if (line.starts_with("  ") && !blocks.empty()) blocks.back().push_back(line);
        else blocks.push_back({line});
    }
    for (auto& block : blocks) std::sort(block.begin() + 1, block.end());
    std::sort(blocks.begin(), blocks.end());
    std::ostringstream out;
    for (const auto& block : blocks) {
        for (const std::string& entry : block) out << entry << "\n";
    }
    out << "\r\n" << in.rdbuf();
    return out.str();
}

// Standard error without line ends and with the reason after each name cut.
std::vector<std::string> errorLines(const std::string& errors) {
    std::vector<std::string> lines;
    std::istringstream in(errors);
    for (std::string line; std::getline(in, line);) {
        if (line.ends_with('\r')) line.pop_back();
        const std::size_t reason = line.rfind("': ");
        lines.push_back(reason == std::string::npos ? line : line.substr(0, reason + 1));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

}  // namespace

const std::vector<Case>& allCases() {
    static const std::vector<Case> cases = readCases();
    return cases;
}

std::string caseName(const testing::TestParamInfo<Case>& info) {
    std::string name;
    for (const char c : info.param.title) {
        if (std::isalnum(static_cast<unsigned char>(c))) name += c;
        else if (!name.empty() && name.back() != '_') name += '_';
    }
    return name;
}

bool canPlay(const Level& level, const Case& c) {
    return std::all_of(c.needs.begin(), c.needs.end(), [&](const std::string& f) { return level.has(f); });
}

void playCase(Level& level, const Case& c) {
    for (const std::string& entry : c.tree) {
        const std::size_t arrow = entry.find("->");
        if (arrow != std::string::npos) level.makeLink(entry.substr(0, arrow), entry.substr(arrow + 2));
        else if (entry.ends_with('/')) level.makeDirectory(entry.substr(0, entry.size() - 1));
        else level.makeFile(entry);
    }
    const ToolOutput result = level.run(c.arguments);
    EXPECT_EQ(result.exitStatus, 1);
    if (level.listsInOrderMade()) {
        EXPECT_EQ(result.output, c.output);
    } else {
        EXPECT_EQ(sorted(result.output), sorted(c.output));
    }
    std::vector<std::string> expectedErrors = c.errors;
    std::sort(expectedErrors.begin(), expectedErrors.end());
    EXPECT_EQ(errorLines(result.errors), expectedErrors);
    EXPECT_EQ(level.tree(), c.after);
}

void DirectoryLevel::makeDirectory(const std::string& path) {
    ASSERT_EQ(mkdir((root_ + "/" + path).c_str(), 0755), 0) << path;
}

void DirectoryLevel::makeFile(const std::string& path) {
    writeFile(root_ + "/" + path, path.substr(path.rfind('/') + 1));
}

void DirectoryLevel::makeLink(const std::string& path, const std::string& target) {
    ASSERT_EQ(symlink(target.c_str(), (root_ + "/" + path).c_str()), 0) << path;
}

}  // namespace tocase
