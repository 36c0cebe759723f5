#include "platform/posix/rename_obstacles-posix.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/system_calls-posix.h"

namespace tocase {
namespace {

constexpr std::uint64_t unchangeable = STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND;

bool hasAttribute(const struct statx& status, std::uint64_t attribute) {
    return (status.stx_attributes_mask & status.stx_attributes & attribute) != 0;
}

}  // namespace

// Write and search permission on the directory is what a rename within it
// needs; asking for it as this process tells a read-only file system
// (EROFS), an immutable directory (EPERM) and missing permission (EACCES)
// apart, ACLs and root's privileges included.
DirectoryObstacles findDirectoryObstacles(int directoryFd) {
    DirectoryObstacles found;
    if (systemCalls().faccessat(directoryFd, ".", W_OK | X_OK, AT_EACCESS) != 0) {
        (errno == EROFS ? found.readOnly : found.permission) = errno;
    }
    struct statx status {};
    if (systemCalls().statx(directoryFd, "", AT_EMPTY_PATH, STATX_MODE | STATX_UID, &status) == 0) {
        if (found.permission == 0 && hasAttribute(status, STATX_ATTR_APPEND)) {
            found.permission = EPERM;
        }
        found.sticky = (status.stx_mode & S_ISVTX) != 0;
        found.ownerId = status.stx_uid;
    }
    return found;
}

int findEntryObstacle(int directoryFd, const std::string& name, const DirectoryObstacles& directory) {
    struct statx status {};
    if (systemCalls().statx(directoryFd, name.c_str(), AT_SYMLINK_NOFOLLOW, STATX_UID, &status) != 0) {
        return 0;
    }
    const unsigned user = geteuid();
    const bool stickyForbids = directory.sticky && user != 0 && user != directory.ownerId && user != status.stx_uid;
    if (stickyForbids || hasAttribute(status, unchangeable)) {
        return EPERM;
    }
    return hasAttribute(status, STATX_ATTR_MOUNT_ROOT) ? EBUSY : 0;
}

}  // namespace tocase
