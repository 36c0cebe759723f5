#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include "platform/posix_files.h"

namespace tocase {
namespace {

void writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;  // a closed or failing output never stops the run
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

class PosixPlatform : public Platform {
public:
    PosixPlatform() {
        facts_.slashMayBeginPath = true;
        // A closed pipe must be a failed write, not the end of the process.
        signal(SIGPIPE, SIG_IGN);
    }

    const PlatformFacts& facts() const override { return facts_; }

    // A directory is read once for the descent and once more for its own
    // matches, unless nothing came between the two (a directory without
    // subdirectories): then the first reading serves both.
    std::unique_ptr<DirectorySearch> startSearch(std::string_view directoryPrefix,
                                                 std::string_view namePattern) override {
        if (!current_ || currentPrefix_ != directoryPrefix || !listing_) {
            listing_.reset();
            currentPrefix_ = directoryPrefix;
            current_ = std::make_unique<RenameDirectory>(
                open(posixDirectoryPath(directoryPrefix).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (current_->fd() >= 0) {
                listing_ = readDirectory(current_->fd());
            }
        }
        if (!listing_) {
            return nullptr;
        }
        return searchListing(listing_, namePattern);
    }

    // Renames happen in the directory of the search just made; after one,
    // that reading is out of date and the next search reads again, by path.
    bool renameEntry(std::string_view directoryPrefix, std::string_view oldName,
                     std::string_view newName, bool isDirectory) override {
        listing_.reset();
        if (!current_ || currentPrefix_ != directoryPrefix) {
            currentPrefix_ = directoryPrefix;
            current_ = std::make_unique<RenameDirectory>(open(
                posixDirectoryPath(directoryPrefix).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        }
        oldName_.assign(oldName);
        newName_.assign(newName);
        return current_->rename(oldName_, newName_, isDirectory);
    }

    void writeOutput(std::string_view bytes) override { pendingOutput_ += bytes; }

    void endOutputLine() override {
        pendingOutput_ += "\r\n";
        writeAll(STDOUT_FILENO, pendingOutput_);
        pendingOutput_.clear();
    }

private:
    PlatformFacts facts_;
    std::string pendingOutput_;
    // The directory last searched or renamed in, and what its last search
    // read, while no rename has been made since.
    std::string currentPrefix_;
    std::unique_ptr<RenameDirectory> current_;
    std::shared_ptr<const DirectoryListing> listing_;
    // Reused for every rename, so a rename allocates nothing.
    std::string oldName_;
    std::string newName_;
};

}  // namespace

std::unique_ptr<Platform> makeNativePlatform() { return std::make_unique<PosixPlatform>(); }

}  // namespace tocase
