#include "memory_platform.h"

#include <algorithm>
#include <stdexcept>

#include "platform/name_match.h"

namespace tocase {
namespace {

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return foldAscii(x) == foldAscii(y); });
}

std::vector<std::string> splitPath(std::string_view path) {
    std::vector<std::string> parts;
    std::string part;
    for (const char c : path) {
        if (c == '\\' || c == '/') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

MemoryPlatform::Node* childNamed(MemoryPlatform::Node& directory, std::string_view name) {
    for (auto& child : directory.children) {
        if (sameNameIgnoringCase(child->name, name)) return child.get();
    }
    return nullptr;
}

class ListSearch : public DirectorySearch {
public:
    explicit ListSearch(std::vector<FoundEntry> entries) : entries_(std::move(entries)) {}
    bool next(FoundEntry& entry) override {
        if (position_ == entries_.size()) return false;
        entry = entries_[position_++];
        return true;
    }

private:
    std::vector<FoundEntry> entries_;
    std::size_t position_ = 0;
};

void appendTree(const MemoryPlatform::Node& directory, int depth, std::string& out) {
    for (const auto& child : directory.children) {
        out += std::string(static_cast<std::size_t>(depth) * 2, ' ') + child->name;
        if (child->isDirectory) out += "\\";
        if (!child->contents.empty()) out += " = " + child->contents;
        out += "\n";
        if (child->isDirectory && !child->isLink) appendTree(*child, depth + 1, out);
    }
}

}  // namespace

MemoryPlatform::MemoryPlatform() {
    editableFacts.hasDriveLetters = true;
    root_.isDirectory = true;
    auto drive = std::make_unique<Node>();
    drive->name = "C:";
    drive->isDirectory = true;
    root_.children.push_back(std::move(drive));
}

MemoryPlatform::Node* MemoryPlatform::findDirectory(std::string_view path) {
    Node* node = find(path);
    return node != nullptr && node->isDirectory && !node->isLink ? node : nullptr;
}

MemoryPlatform::Node* MemoryPlatform::find(std::string_view path) {
    const bool absolute = path.size() >= 2 && path[1] == ':';
    std::vector<std::string> parts = splitPath(absolute ? std::string(path)
                                                        : currentDirectory_ + "\\" + std::string(path));
    Node* node = &root_;
    for (const std::string& part : parts) {
        if (!node->isDirectory || node->isLink) return nullptr;
        node = childNamed(*node, part);
        if (node == nullptr) return nullptr;
    }
    return node;
}

MemoryPlatform::Node& MemoryPlatform::makeEntry(std::string_view path) {
    std::string text(path);
    const std::size_t cut = text.find_last_of("\\/");
    Node* parent = cut == std::string::npos ? findDirectory("") : findDirectory(text.substr(0, cut + 1));
    if (parent == nullptr) throw std::invalid_argument("no parent directory for " + text);
    auto node = std::make_unique<Node>();
    node->name = cut == std::string::npos ? text : text.substr(cut + 1);
    parent->children.push_back(std::move(node));
    return *parent->children.back();
}

void MemoryPlatform::addFile(std::string_view path, std::string_view contents) {
    makeEntry(path).contents = contents;
}

void MemoryPlatform::addDirectory(std::string_view path) { makeEntry(path).isDirectory = true; }

void MemoryPlatform::addHiddenDirectory(std::string_view path) {
    Node& node = makeEntry(path);
    node.isDirectory = true;
    node.isHidden = true;
}

void MemoryPlatform::addDirectoryLink(std::string_view path) {
    Node& node = makeEntry(path);
    node.isDirectory = true;
    node.isLink = true;
}

void MemoryPlatform::setCurrentDirectory(std::string_view path) { currentDirectory_ = path; }

bool MemoryPlatform::remove(std::string_view path) {
    std::string text(path);
    const std::size_t cut = text.find_last_of("\\/");
    Node* parent = findDirectory(cut == std::string::npos ? "" : text.substr(0, cut + 1));
    if (parent == nullptr) return false;
    const std::string name = cut == std::string::npos ? text : text.substr(cut + 1);
    auto& children = parent->children;
    const auto before = children.size();
    std::erase_if(children, [&](const auto& child) { return sameNameIgnoringCase(child->name, name); });
    return children.size() != before;
}

std::string MemoryPlatform::tree(std::string_view path) const {
    std::string out;
    const Node* node = const_cast<MemoryPlatform*>(this)->findDirectory(path);
    if (node != nullptr) appendTree(*node, 0, out);
    return out;
}

std::unique_ptr<DirectorySearch> MemoryPlatform::startSearch(std::string_view directoryPrefix,
                                                             std::string_view namePattern) {
    searches.push_back(std::string(directoryPrefix) + "|" + std::string(namePattern));
    if (beforeSearch) beforeSearch(*this, directoryPrefix);
    Node* directory = findDirectory(directoryPrefix);
    if (directory == nullptr) return nullptr;
    std::vector<FoundEntry> entries;
    for (const std::string_view dots : {".", ".."}) {
        if (matchesNamePattern(namePattern, dots)) entries.push_back({std::string(dots), true, false, false});
    }
    for (const auto& child : directory->children) {
        if (matchesNamePattern(namePattern, child->name)) {
            entries.push_back({child->name, child->isDirectory, child->isHidden, child->isLink});
        }
    }
    if (entries.empty()) return nullptr;
    return std::make_unique<ListSearch>(std::move(entries));
}

bool MemoryPlatform::renameEntry(std::string_view directoryPrefix, std::string_view oldName,
                                 std::string_view newName, bool isDirectory) {
    renames.push_back(std::string(directoryPrefix) + "|" + std::string(oldName) + "|" +
                      std::string(newName));
    if (beforeRename) beforeRename(*this);
    if (static_cast<int>(renames.size()) == failRenameNumber) return false;
    Node* directory = findDirectory(directoryPrefix);
    if (directory == nullptr) return false;
    Node* entry = childNamed(*directory, oldName);
    Node* holder = childNamed(*directory, newName);
    if (entry == nullptr || entry->isDirectory != isDirectory) return false;
    if (holder != nullptr && holder != entry) return false;
    entry->name = newName;
    return true;
}

}  // namespace tocase
