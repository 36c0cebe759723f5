#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <string>

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

    std::unique_ptr<DirectorySearch> startSearch(std::string_view directoryPrefix,
                                                 std::string_view namePattern) override {
        // Renames follow the match search of their directory; a new search
        // may come after a directory on the cached path was renamed.
        renameDirectory_.reset();
        return startPosixSearch(posixDirectoryPath(directoryPrefix), namePattern);
    }

    bool renameEntry(std::string_view directoryPrefix, std::string_view oldName,
                     std::string_view newName, bool isDirectory) override {
        if (!renameDirectory_ || renameDirectoryPrefix_ != directoryPrefix) {
            renameDirectoryPrefix_ = directoryPrefix;
            renameDirectory_ = std::make_unique<RenameDirectory>(open(
                posixDirectoryPath(directoryPrefix).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        }
        return renameDirectory_->rename(std::string(oldName), std::string(newName), isDirectory);
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
    std::string renameDirectoryPrefix_;
    std::unique_ptr<RenameDirectory> renameDirectory_;
};

}  // namespace

std::unique_ptr<Platform> makeNativePlatform() { return std::make_unique<PosixPlatform>(); }

}  // namespace tocase
