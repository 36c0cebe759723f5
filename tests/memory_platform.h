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
// regard to case and lists entries in the order they were made. A
// directory the walk holds stays the same directory, as a descriptor
// does. It records the renames asked of it, and can fail one or change the
// tree just before one.
class MemoryPlatform : public Platform {
public:
    struct Node {
        std::string name;
        bool isDirectory = false;
        bool isHidden = false;
        std::string linkTarget;  // a link to a directory when not empty
        std::string contents;
        std::vector<std::shared_ptr<Node>> children;
    };

    MemoryPlatform();

    // Paths from the top directory, "C:\" to the tool; only '/' separates.
    // A file holds its own name.
    Node& add(std::string_view path, bool isDirectory);
    void remove(std::string_view path);
    // As describeTree() writes it.
    std::vector<std::string> tree() const;

    int failRenameNumber = 0;  // 1-based; 0 fails none
    std::function<void(MemoryPlatform&)> beforeRename;
    std::vector<std::string> renames;  // "old>new", failed ones too
    std::string output;
    std::string errors;
    PlatformFacts editableFacts;

    const PlatformFacts& facts() const override { return editableFacts; }
    bool openDirectory(std::string_view directoryPrefix, std::string& reason) override;
    bool openSubdirectory(const FoundEntry& entry, std::string& reason) override;
    bool closeDirectory(std::string&) override;
    bool searchDirectory(std::string_view namePattern, std::vector<FoundEntry>& entries,
                         std::string& reason) override;
    RenameResult renameEntry(const FoundEntry& entry, std::string_view newName, bool toLower) override;
    void writeOutput(std::string_view bytes) override { output += bytes; }
    void endOutputLine() override { output += "\r\n"; }
    void writeErrorLine(std::string_view text) override { errors += "tocase: " + std::string(text) + "\n"; }
    void stopIfAsked() override {}

private:
    std::shared_ptr<Node> top_;
    std::vector<std::shared_ptr<Node>> open_;
};

}  // namespace tocase

#endif
