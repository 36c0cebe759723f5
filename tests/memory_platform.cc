#include "memory_platform.h"

#include <algorithm>
#include <stdexcept>

#include "platform/name_match.h"

namespace tocase {
namespace {

using Node = MemoryPlatform::Node;

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return foldAscii(x) == foldAscii(y); });
}

std::shared_ptr<Node> childNamed(const Node& directory, std::string_view name) {
    for (const auto& child : directory.children) {
        if (sameNameIgnoringCase(child->name, name)) return child;
    }
    return nullptr;
}

bool isWalkable(const std::shared_ptr<Node>& node) {
    return node && node->isDirectory && node->linkTarget.empty();
}

void describe(const Node& directory, const std::string& path, std::vector<std::string>& out) {
    for (const auto& child : directory.children) {
        std::string entry = path + child->name;
        if (!child->linkTarget.empty()) {
            out.push_back(entry + "->" + child->linkTarget);
        } else if (child->isDirectory) {
            out.push_back(entry + "/");
            describe(*child, entry + "/", out);
        } else {
            out.push_back(child->contents == child->name ? entry : entry + "<" + child->contents);
        }
    }
}

}  // namespace

MemoryPlatform::MemoryPlatform() : top_(std::make_shared<Node>()) {
    top_->isDirectory = true;
    facts_.hasDriveLetters = true;
}

Node& MemoryPlatform::add(std::string_view path, bool isDirectory) {
    const std::size_t cut = path.rfind('/');
    std::shared_ptr<Node> parent = top_;
    for (std::size_t from = 0, to; cut != std::string_view::npos && from <= cut; from = to + 1) {
        to = path.find('/', from);
        parent = childNamed(*parent, path.substr(from, to - from));
        if (!isWalkable(parent)) throw std::invalid_argument("no directory for " + std::string(path));
    }
    auto& node = *parent->children.emplace_back(std::make_shared<Node>());
    node.name = path.substr(cut == std::string_view::npos ? 0 : cut + 1);
    node.isDirectory = isDirectory;
    node.contents = isDirectory ? "" : node.name;
    return node;
}

std::vector<std::string> MemoryPlatform::tree() const {
    std::vector<std::string> out;
    describe(*top_, "", out);
    std::sort(out.begin(), out.end());
    return out;
}

bool MemoryPlatform::openDirectory(std::string_view directoryPrefix, std::string& reason) {
    if (directoryPrefix.starts_with("C:")) directoryPrefix.remove_prefix(2);
    std::shared_ptr<Node> directory = top_;
    std::string component;
    for (const char c : std::string(directoryPrefix) + "\\") {
        if (c != '\\' && c != '/') {
            component += c;
        } else if (!component.empty()) {
            directory = childNamed(*directory, component);
            component.clear();
            if (!isWalkable(directory)) {
                reason = "No such directory";
                return false;
            }
        }
    }
    open_.assign(1, directory);
    currentLost_ = false;
    return true;
}

bool MemoryPlatform::openSubdirectory(const FoundEntry& entry, std::string& reason) {
    const std::shared_ptr<Node> directory = childNamed(*open_.back(), entry.name);
    if (!isWalkable(directory)) {
        reason = "Not a directory";
        return false;
    }
    open_.push_back(directory);
    return true;
}

bool MemoryPlatform::closeDirectory(std::string& reason) {
    const bool losesParent = currentLost_ || open_.back()->name == leavingLosesParent;
    open_.pop_back();
    currentLost_ = losesParent && open_.size() > 1;
    reason = "moved away";
    return !currentLost_;
}

bool MemoryPlatform::searchDirectory(std::string_view namePattern, const EntryVisitor& visit,
                                     std::string& reason) {
    if (open_.back()->unlisted) {
        reason = "Input/output error";
        return false;
    }
    std::vector<FoundEntry> entries;
    for (const char* dots : {".", ".."}) {
        if (matchesNamePattern(namePattern, dots)) entries.push_back({dots, "", true, true, false});
    }
    for (const auto& child : open_.back()->children) {
        if (matchesNamePattern(namePattern, child->name)) {
            entries.push_back({child->name, "", child->isDirectory, child->isHidden, !child->linkTarget.empty()});
        }
    }
    for (const FoundEntry& entry : entries) visit(entry);
    return true;
}

RenameResult MemoryPlatform::renameEntry(const FoundEntry& entry, std::string_view newName, bool) {
    RenameResult result;
    const Node& directory = *open_.back();
    const std::shared_ptr<Node> node = childNamed(directory, entry.name);
    const std::shared_ptr<Node> holder = childNamed(directory, newName);
    if (!node || node->isDirectory != entry.isDirectory || (holder && holder != node)) return result;
    if (!strandUnder.empty()) {
        node->name = result.strandedName = strandUnder;
        result.reason = "Input/output error";
        return result;
    }
    node->name = newName;
    result.renamed = true;
    return result;
}

}  // namespace tocase
