#include "mounted_image.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>

namespace tocase {
namespace {

// Runs a shell command; returns its standard output and whether it exited 0.
bool runCommand(const std::string& command, std::string& output) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return false;
    std::array<char, 4096> buffer{};
    while (std::fgets(buffer.data(), buffer.size(), pipe) != nullptr) output += buffer.data();
    return pclose(pipe) == 0;
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

}  // namespace

const char* kindName(MountedImage::Kind kind) {
    switch (kind) {
        case MountedImage::Kind::exfat: return "exFAT";
        case MountedImage::Kind::fat: return "FAT";
        case MountedImage::Kind::ext4: return "ext4";
        case MountedImage::Kind::tmpfs: return "tmpfs";
    }
    return "?";
}

bool MountedImage::step(const std::string& command, const std::string& what) {
    std::string output;
    if (runCommand(command, output)) return true;
    failure_ = what + " failed (" + command + "): " + trimmed(output);
    return false;
}

MountedImage::MountedImage(Kind kind)
    : image_(work_.path() + "/image"), mountPoint_(work_.path() + "/mnt") {
    if (geteuid() != 0) {
        failure_ = "mounting needs root";
        return;
    }
    if (mkdir(mountPoint_.c_str(), 0755) != 0) {
        failure_ = "cannot make the mount point";
        return;
    }
    const std::string quotedImage = "'" + image_ + "'";
    const std::string quotedMount = "'" + mountPoint_ + "'";
    switch (kind) {
        case Kind::tmpfs:
            mounted_ = step("mount -t tmpfs -o size=256M tocase-test " + quotedMount, "mount tmpfs");
            return;
        case Kind::fat:
            if (access("/dev/fuse", R_OK | W_OK) != 0) {
                failure_ = "/dev/fuse cannot be used";
                return;
            }
            mounted_ = step("truncate -s 64M " + quotedImage, "truncate") &&
                       step("mkfs.vfat " + quotedImage, "mkfs.vfat (package dosfstools)") &&
                       step("fusefat -o rw+ " + quotedImage + " " + quotedMount,
                            "fusefat (package fusefat)");
            return;
        case Kind::exfat:
        case Kind::ext4: {
            if (kind == Kind::exfat && access("/dev/fuse", R_OK | W_OK) != 0) {
                failure_ = "/dev/fuse cannot be used";
                return;
            }
            const bool made =
                step("truncate -s 512M " + quotedImage, "truncate") &&
                (kind == Kind::exfat ? step("mkfs.exfat " + quotedImage, "mkfs.exfat (package exfatprogs)")
                                     : step("mkfs.ext4 -q " + quotedImage, "mkfs.ext4"));
            if (!made) return;
            std::string device;
            if (!runCommand("losetup -f --show " + quotedImage, device)) {
                failure_ = "no loop device: " + trimmed(device);
                return;
            }
            loopDevice_ = trimmed(device);
            mounted_ = kind == Kind::exfat
                           ? step("mount.exfat-fuse " + loopDevice_ + " " + quotedMount,
                                  "mount.exfat-fuse (package exfat-fuse)")
                           : step("mount " + loopDevice_ + " " + quotedMount, "mount ext4") &&
                                 step("rmdir " + quotedMount + "/lost+found", "rmdir lost+found");
            return;
        }
    }
}

MountedImage::~MountedImage() {
    std::string ignored;
    if (mounted_) {
        const std::string quotedMount = "'" + mountPoint_ + "'";
        // A FUSE daemon may still be busy for a moment after the last write.
        for (int attempt = 0; attempt < 50; ++attempt) {
            if (runCommand("umount " + quotedMount, ignored)) break;
            usleep(100000);
        }
    }
    if (!loopDevice_.empty()) runCommand("losetup -d " + loopDevice_, ignored);
}

}  // namespace tocase
