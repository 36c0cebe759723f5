#include "platform/posix/read_directory-posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/system_calls-posix.h"

namespace tocase {
namespace {

bool isDirectoryFollowingLinks(int directoryFd, const char* name) {
    struct stat status {};
    return systemCalls().fstatat(directoryFd, name, &status, 0) == 0 && S_ISDIR(status.st_mode);
}

// A link is a link, whatever it points to; one to a directory matches as a
// directory. Where the file system gives no type, ask for it.
void classifyEntry(int directoryFd, const dirent64& record, FoundEntry& entry) {
    unsigned char type = record.d_type;
    if (type == DT_UNKNOWN) {
        struct stat status {};
        if (systemCalls().fstatat(directoryFd, record.d_name, &status, AT_SYMLINK_NOFOLLOW) == 0) {
            type = S_ISDIR(status.st_mode) ? DT_DIR : S_ISLNK(status.st_mode) ? DT_LNK : DT_REG;
        }
    }
    entry.isLink = type == DT_LNK;
    entry.isDirectory = type == DT_DIR || (entry.isLink && isDirectoryFollowingLinks(directoryFd, record.d_name));
}

}  // namespace

int openReading(int directoryFd) {
    return systemCalls().openat(directoryFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

bool forEachUnreadRecord(int directoryFd, const std::function<void(const dirent64&)>& visit, Failure& failure,
                         std::size_t* buffersRead) {
    alignas(dirent64) static char buffer[32768];
    for (;;) {
        const ssize_t size = systemCalls().getdents64(directoryFd, buffer, sizeof buffer);
        if (size < 0) {
            failure = systemFailure(errno);
            return false;
        }
        if (size == 0) {
            return true;
        }
        if (buffersRead != nullptr) {
            ++*buffersRead;
        }
        for (ssize_t at = 0; at < size;) {
            const auto* record = reinterpret_cast<const dirent64*>(buffer + at);
            at += record->d_reclen;
            visit(*record);
        }
    }
}

bool forEachRecord(int directoryFd, const std::function<void(const dirent64&)>& visit, Failure& failure,
                   std::size_t* buffersRead) {
    const int readingFd = openReading(directoryFd);
    if (readingFd < 0) {
        failure = systemFailure(errno);
        return false;
    }
    const bool read = forEachUnreadRecord(readingFd, visit, failure, buffersRead);
    systemCalls().close(readingFd);
    return read;
}

std::shared_ptr<DirectoryListing> readUnreadDirectory(int directoryFd, Failure& failure, std::size_t* buffersRead) {
    auto entries = std::make_shared<DirectoryListing>();
    const bool read = forEachUnreadRecord(
        directoryFd,
        [&](const dirent64& record) {
            FoundEntry& entry = entries->add(record.d_name);
            entry.fileId = record.d_ino;
            entry.isHidden = entry.name.front() == '.';
            classifyEntry(directoryFd, record, entry);
        },
        failure, buffersRead);
    return read ? entries : nullptr;
}

std::shared_ptr<DirectoryListing> readDirectory(int directoryFd, Failure& failure, std::size_t* buffersRead) {
    const int readingFd = openReading(directoryFd);
    if (readingFd < 0) {
        failure = systemFailure(errno);
        return nullptr;
    }
    std::shared_ptr<DirectoryListing> listing = readUnreadDirectory(readingFd, failure, buffersRead);
    systemCalls().close(readingFd);
    return listing;
}

}  // namespace tocase
