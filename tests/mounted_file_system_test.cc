// The cases on real file systems that the tests make and mount themselves:
// case-folding ones (exFAT, FAT) and case-sensitive ones (ext4, tmpfs).
// Without root, FUSE or loop devices they are skipped, and say why; under
// CI=true a skip is a failure.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <string>

#include "case_table.h"
#include "mounted_image.h"

namespace tocase {
namespace {

using Kind = MountedImage::Kind;

std::set<std::string> featuresOf(Kind kind) {
    switch (kind) {
        case Kind::exfat: return {"folding", "utf8", "dirrenames"};
        // fusefat empties any directory it renames, whoever asks.
        case Kind::fat: return {"folding"};
        case Kind::ext4:
        case Kind::tmpfs: return {"twins", "links", "utf8", "anynames", "dirrenames"};
    }
    return {};
}

class OnFileSystem : public testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        image_ = std::make_unique<MountedImage>(GetParam());
        if (image_->mounted()) return;
        const std::string reason = std::string(kindName(GetParam())) + " cannot be mounted here: " + image_->failure();
        const char* ci = std::getenv("CI");
        if (ci != nullptr && std::string(ci) == "true") FAIL() << reason;
        GTEST_SKIP() << reason;
    }

    // A fresh directory on the mounted file system.
    std::string freshDirectory() {
        const std::string path = image_->path() + "/" + std::to_string(directories_++);
        EXPECT_EQ(mkdir(path.c_str(), 0755), 0) << path;
        return path;
    }

    std::unique_ptr<MountedImage> image_;
    int directories_ = 0;
};

TEST_P(OnFileSystem, PlaysEveryCase) {
    for (const Case& c : allCases()) {
        DirectoryLevel level(freshDirectory(), featuresOf(GetParam()));
        if (!canPlay(level, c)) continue;
        SCOPED_TRACE(c.title);
        playCase(level, c);
    }
}

// All the entries are read before the first rename, so renames made while
// they are handed out can neither skip one nor convert one twice.
class LargeDirectory : public OnFileSystem {};

TEST_P(LargeDirectory, RenamedWhileItIsListedNeitherSkipsNorRepeats) {
    constexpr int convertible = 5000;
    const std::string root = freshDirectory();
    std::vector<std::string> expected;
    for (int i = 0; i < convertible; ++i) {
        const std::string name = "F" + std::to_string(100000 + i);
        writeFile(root + "/" + name, name);
        expected.push_back("f" + name.substr(1) + "<" + name);
    }
    for (int i = 0; i < 50; ++i) writeFile(root + "/Keep" + std::to_string(i), "Keep" + std::to_string(i));
    const ToolOutput result = runTool(root, {"*"});
    EXPECT_TRUE(result.output.ends_with("\r\n5000 files in 1 directory converted to lowercase.\r\n\r\n"));
    std::set<std::string> listed;
    for (std::size_t at = 0; (at = result.output.find("\r\n  F", at)) != std::string::npos; at += 2) {
        listed.insert(result.output.substr(at + 4, 7));
    }
    EXPECT_EQ(listed.size(), static_cast<std::size_t>(convertible));
    EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'), convertible + 4);
    std::vector<std::string> tree = describeTree(root);
    std::erase_if(tree, [](const std::string& entry) { return entry.starts_with("Keep"); });
    EXPECT_EQ(tree, expected);
}

std::string nameOf(const testing::TestParamInfo<Kind>& info) { return kindName(info.param); }

INSTANTIATE_TEST_SUITE_P(Mounted, OnFileSystem, testing::Values(Kind::exfat, Kind::fat, Kind::ext4, Kind::tmpfs),
                         nameOf);
INSTANTIATE_TEST_SUITE_P(Mounted, LargeDirectory, testing::Values(Kind::exfat, Kind::ext4, Kind::tmpfs), nameOf);

}  // namespace
}  // namespace tocase
