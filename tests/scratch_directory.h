#ifndef TOCASE_TESTS_SCRATCH_DIRECTORY_H
#define TOCASE_TESTS_SCRATCH_DIRECTORY_H

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tocase {

// A fresh directory under $TMPDIR, or where none is asked for, in memory
// (/dev/shm) where there is one, removed with everything in it.
class ScratchDirectory {
public:
    ScratchDirectory() {
        const char* base = std::getenv("TMPDIR");
        const char* inMemory = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base != nullptr ? base : inMemory) + "/tocase-test-XXXXXX";
        path_ = mkdtemp(pattern.data());
    }
    ~ScratchDirectory() { std::filesystem::remove_all(path_); }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    // Directories end in "/"; a file holds its own name.
    void make(const std::vector<std::string>& entries) const {
        for (const std::string& entry : entries) {
            if (entry.ends_with('/')) {
                std::filesystem::create_directory(*this / entry);
            } else {
                std::ofstream(*this / entry) << std::filesystem::path(entry).filename().string();
            }
        }
    }

    // Every entry below, sorted: directories end in "/".
    std::vector<std::string> tree() const {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path_)) {
            found.push_back(std::filesystem::relative(entry.path(), path_).string() +
                            (entry.is_directory() && !entry.is_symlink() ? "/" : ""));
        }
        std::sort(found.begin(), found.end());
        return found;
    }

private:
    std::string path_;
};

}  // namespace tocase

#endif
