#ifndef TOCASE_TESTS_MOUNTED_IMAGE_H
#define TOCASE_TESTS_MOUNTED_IMAGE_H

#include <string>

#include "process_runner.h"

namespace tocase {

// A file system made in an image file and mounted in a temporary
// directory for one test, unmounted and removed on every path.
class MountedImage {
public:
    enum class Kind {
        exfat,  // mkfs.exfat, a loop device, mount.exfat-fuse
        fat,    // mkfs.vfat, fusefat
        ext4,   // mkfs.ext4, mounted by the kernel through a loop device
        tmpfs,  // no image: the kernel's tmpfs
    };

    explicit MountedImage(Kind kind);
    ~MountedImage();
    MountedImage(const MountedImage&) = delete;
    MountedImage& operator=(const MountedImage&) = delete;

    bool mounted() const { return mounted_; }
    // Why the file system could not be mounted, when it could not.
    const std::string& failure() const { return failure_; }
    // The mount point.
    const std::string& path() const { return mountPoint_; }

private:
    bool step(const std::string& command, const std::string& what);

    TemporaryDirectory work_;
    std::string image_;
    std::string mountPoint_;
    std::string loopDevice_;
    bool mounted_ = false;
    std::string failure_;
};

const char* kindName(MountedImage::Kind kind);

}  // namespace tocase

#endif
