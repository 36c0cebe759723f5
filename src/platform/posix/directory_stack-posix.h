#ifndef TOCASE_PLATFORM_DIRECTORY_STACK_POSIX_H
#define TOCASE_PLATFORM_DIRECTORY_STACK_POSIX_H

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tocase {

// The directories a walk is inside, each open as a descriptor: the first
// as typed, each other one relative to its parent, never through a link
// and never into another file system. Only the outermost and the innermost
// `maxHeld` - 1 stay open, so no depth runs out of descriptors; one let go
// is opened again when the walk climbs back, through ".." of its child or
// else from the outermost down, and only if it is still the very same
// directory.
class DirectoryStack {
public:
    // `maxHeld` is asked for when the first directory is opened: what is
    // free then, after whatever the run holds besides.
    explicit DirectoryStack(std::size_t (*maxHeld)()) : limit_(maxHeld) {}
    ~DirectoryStack();
    DirectoryStack(const DirectoryStack&) = delete;
    DirectoryStack& operator=(const DirectoryStack&) = delete;

    EnterResult openFirst(const std::string& path, Failure& failure);
    EnterResult openChild(const std::string& name, Failure& failure);
    bool closeCurrent(Failure& failure);
    // Whether the current directory is still the entry of its parent under
    // the name it was opened by, looked at through the parent without
    // following anything.
    bool currentIsStillInItsParent(Failure& failure);
    // -1 when there is none, or the current one could not be reached again.
    int currentFd() const { return levels_.empty() ? -1 : levels_.back().fd; }
    // As found when the current directory was opened; it is the same
    // directory for as long as it is held.
    dev_t currentDevice() const { return levels_.empty() ? 0 : levels_.back().identity.device; }
    ino_t currentInode() const { return levels_.empty() ? 0 : levels_.back().identity.inode; }

private:
    struct Identity {
        dev_t device = 0;
        ino_t inode = 0;
        std::uint64_t mountId = 0;  // 0 where the system cannot tell
    };
    struct Level {
        int fd = -1;
        Identity identity;
        std::string name;  // in its parent; empty for the first
    };
    static bool identify(int fd, Identity& identity, Failure& failure);
    static bool sameFile(const Identity& a, const Identity& b);
    static bool sameMount(const Identity& a, const Identity& b);
    static int confirmed(int fd, const Level& level);
    int openFromTheFirst(std::size_t index);
    void closeAll();
    void letGoOfOne();
    int openParentAgain(const Level& parent, int childFd);

    std::size_t (*limit_)();
    std::size_t maxHeld_ = 0;
    std::vector<Level> levels_;
    std::size_t letGo_ = 0;  // levels 1 to letGo_ have no descriptor
};

}  // namespace tocase

#endif
