#ifndef TOCASE_PLATFORM_RENAME_OBSTACLES_POSIX_H
#define TOCASE_PLATFORM_RENAME_OBSTACLES_POSIX_H

#include <cerrno>
#include <string>

namespace tocase {

// What would make the kernel refuse a rename within one directory, found
// by looking rather than by renaming, so that a preview fails where the
// run would, with the run's own reason. Each is the errno the rename would
// meet, or 0. The kernel meets them in this order: a read-only file system
// first, then a name already taken (the caller's), then the rest.
struct DirectoryObstacles {
    int readOnly = 0;    // EROFS
    int permission = 0;  // EPERM (immutable or append-only) or EACCES
    bool sticky = false;
    unsigned ownerId = 0;
};

DirectoryObstacles findDirectoryObstacles(int directoryFd);

// The errno renaming `name` would meet in a directory that does not refuse
// it as a whole: EPERM where the sticky bit or the entry's own flags forbid
// it, EBUSY where something is mounted on it.
int findEntryObstacle(int directoryFd, const std::string& name, const DirectoryObstacles& directory);

}  // namespace tocase

#endif
