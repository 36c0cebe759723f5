#ifndef TOCASE_TESTS_MEMORY_PLATFORM_H
#define TOCASE_TESTS_MEMORY_PLATFORM_H

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace tocase {

// An in-memory file system that, like Windows, resolves names without
// regard to case and keeps entries in the order they were made. It records
// what was asked of it and can be told to fail renames.
class MemoryPlatform : public Platform {
public:
    struct Node {
        std::string name;
        bool isDirectory = false;
        bool isHidden = false;
        bool isLink = false;
        std::string contents;
        std::vector<std::unique_ptr<Node>> children;
    };

    MemoryPlatform();

    // Paths use `\` or `/`; "C:" starts an absolute path, anything else is
    // relative to the current directory, which starts as C:\.
    void addFile(std::string_view path, std::string_view contents = "");
    void addDirectory(std::string_view path);
    void addHiddenDirectory(std::string_view path);
    void addDirectoryLink(std::string_view path);
    void setCurrentDirectory(std::string_view path);

    // Every name below `path`, one line each, indented by depth, in order.
    std::string tree(std::string_view path = "C:") const;

    // 1-based number of the rename to refuse; 0 refuses none.
    int failRenameNumber = 0;
    // Runs before each rename, to change the tree at that very moment.
    std::function<void(MemoryPlatform&)> beforeRename;
    // Runs before each search, with the directory prefix searched.
    std::function<void(MemoryPlatform&, std::string_view)> beforeSearch;

    std::string output;
    std::vector<std::string> searches;  // "prefix|pattern"
    std::vector<std::string> renames;   // "prefix|old|new", refused ones too
    PlatformFacts editableFacts;

    const PlatformFacts& facts() const override { return editableFacts; }
    std::unique_ptr<DirectorySearch> startSearch(std::string_view directoryPrefix,
                                                 std::string_view namePattern) override;
    bool renameEntry(std::string_view directoryPrefix, std::string_view oldName,
                     std::string_view newName, bool isDirectory) override;
    void writeOutput(std::string_view bytes) override { output += bytes; }
    void endOutputLine() override { output += "\r\n"; }

    Node* find(std::string_view path);
    bool remove(std::string_view path);

private:
    Node* findDirectory(std::string_view path);
    Node& makeEntry(std::string_view path);

    Node root_;  // holds the drives
    std::string currentDirectory_ = "C:";
};

}  // namespace tocase

#endif
