#ifndef TOCASE_TESTS_MEMORY_PLATFORM_H
#define TOCASE_TESTS_MEMORY_PLATFORM_H

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace tocase {

// An in-memory file system that, like Windows, resolves names without
// regard to case, and lists entries in the order they were made. The
// directories the walk holds stay the same, as descriptors do.
class MemoryPlatform : public Platform {
public:
    struct Node {
        std::string name;
        bool isDirectory = false;
        bool isHidden = false;
        std::string linkTarget;  // a link to a directory when not empty
        std::string contents;
        bool unlisted = false;  // opens, but cannot be listed
        std::vector<std::shared_ptr<Node>> children;
    };

    MemoryPlatform();
    // Paths from the top directory, "C:\" to the tool, with '/' between
    // names. A file holds its own name.
    Node& add(std::string_view path, bool isDirectory);
    // As describeTree() writes it.
    std::vector<std::string> tree() const;
    bool holdsADirectory() const { return !open_.empty(); }

    std::string output;
    std::string errors;
    // Leaving the directory of this name finds its parent moved away, and
    // each directory above up to the outermost, which the walk always holds.
    std::string leavingLosesParent;
    // Renames fail part-way, leaving the entry under this name.
    std::string strandUnder;

    const PlatformFacts& facts() const override { return facts_; }
    bool openDirectory(std::string_view directoryPrefix, std::string& reason) override;
    bool openSubdirectory(const FoundEntry& entry, std::string& reason) override;
    bool closeDirectory(std::string&) override;
    bool searchDirectory(std::string_view namePattern, const EntryVisitor& visit, std::string& reason) override;
    RenameResult renameEntry(const FoundEntry& entry, std::string_view newName, bool toLower) override;
    void writeOutput(std::string_view bytes) override { output += bytes; }
    void endOutputLine() override { output += "\r\n"; }
    void writeErrorLine(std::string_view text) override { errors += "tocase: " + std::string(text) + "\n"; }
    void stopIfAsked() override {}

private:
    PlatformFacts facts_;
    std::shared_ptr<Node> top_;
    std::vector<std::shared_ptr<Node>> open_;
    bool currentLost_ = false;
};

}  // namespace tocase

#endif
