#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/name_match.h"
#include "platform/posix_files.h"

namespace tocase {
namespace {

// Where the file system gives no type, or the entry is a link, ask for it.
void classifyEntry(int directoryFd, const dirent& record, FoundEntry& entry) {
    if (record.d_type == DT_DIR || record.d_type == DT_REG) {
        entry.isDirectory = record.d_type == DT_DIR;
        return;
    }
    struct stat status {};
    entry.isLink = record.d_type == DT_LNK ||
                   (fstatat(directoryFd, record.d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                    S_ISLNK(status.st_mode));
    entry.isDirectory = entryIsDirectory(directoryFd, record.d_name).value_or(false);
}

// Hands out the matching entries of a listing read before the search began.
class ListingSearch : public DirectorySearch {
public:
    ListingSearch(std::shared_ptr<const DirectoryListing> listing, std::string namePattern)
        : listing_(std::move(listing)), namePattern_(std::move(namePattern)) {}

    bool next(FoundEntry& entry) override {
        while (position_ < listing_->size()) {
            const FoundEntry& candidate = (*listing_)[position_++];
            if (matchesNamePattern(namePattern_, candidate.name)) {
                entry = candidate;
                return true;
            }
        }
        return false;
    }

private:
    std::shared_ptr<const DirectoryListing> listing_;
    std::string namePattern_;
    std::size_t position_ = 0;
};

}  // namespace

std::optional<bool> entryIsDirectory(int directoryFd, const char* name) {
    struct stat status {};
    if (fstatat(directoryFd, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return std::nullopt;
    }
    if (S_ISLNK(status.st_mode)) {
        // A link to a directory is matched as a directory, never entered.
        return fstatat(directoryFd, name, &status, 0) == 0 && S_ISDIR(status.st_mode);
    }
    return S_ISDIR(status.st_mode);
}

std::string posixDirectoryPath(std::string_view directoryPrefix) {
    if (directoryPrefix.empty()) {
        return ".";
    }
    std::string path(directoryPrefix);
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    return path;
}

std::shared_ptr<const DirectoryListing> readDirectory(int directoryFd) {
    // The stream takes its own descriptor, so `directoryFd` stays open.
    const int readFd = dup(directoryFd);
    DIR* directory = readFd < 0 ? nullptr : fdopendir(readFd);
    if (directory == nullptr) {
        if (readFd >= 0) {
            close(readFd);
        }
        return nullptr;
    }
    auto entries = std::make_shared<DirectoryListing>();
    while (const dirent* record = readdir(directory)) {
        FoundEntry& entry = entries->emplace_back();
        entry.name = record->d_name;
        entry.isHidden = entry.name.front() == '.';
        classifyEntry(directoryFd, *record, entry);
    }
    closedir(directory);
    return entries;
}

std::unique_ptr<DirectorySearch> searchListing(std::shared_ptr<const DirectoryListing> listing,
                                               std::string_view namePattern) {
    return std::make_unique<ListingSearch>(std::move(listing), std::string(namePattern));
}

}  // namespace tocase
