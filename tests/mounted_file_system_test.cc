// The built binary on real file systems that the tests make and mount
// themselves: case-folding ones (exFAT, FAT) and case-sensitive ones
// (ext4, tmpfs). Without root, FUSE or loop devices these are skipped, and
// say why; under CI=true a skip is a failure.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "mounted_image.h"
#include "tool_fixture.h"

namespace tocase {
namespace {

using Kind = MountedImage::Kind;


class OnFileSystem : public ToolFixture<testing::TestWithParam<Kind>> {
protected:
    void SetUp() override {
        image_ = std::make_unique<MountedImage>(GetParam());
        if (image_->mounted()) return;
        const std::string reason =
            std::string(kindName(GetParam())) + " cannot be mounted here: " + image_->failure();
        const char* ci = std::getenv("CI");
        if (ci != nullptr && std::string(ci) == "true") FAIL() << reason;
        GTEST_SKIP() << reason;
    }

    const std::string& root() const override { return image_->path(); }

    std::unique_ptr<MountedImage> image_;
};

TEST_P(OnFileSystem, RenamesFilesForRealBothWays) {
    file("README.TXT", "readme");
    file("Mixed.Txt", "mixed");
    file("notes.txt", "notes");
    EXPECT_EQ(run({"*.TXT"}), crlfLines({".\\", "  README.TXT -> readme.txt", "",
                                     "1 file in 1 directory converted to lowercase.", ""}));
    EXPECT_EQ(tree(), "Mixed.Txt = mixed\nnotes.txt = notes\nreadme.txt = readme\n");
    const std::string out = run({"/U", "/MIXED", "*"});
    EXPECT_TRUE(out.ends_with(crlfLines({"", "3 files in 1 directory converted to uppercase.", ""})));
    EXPECT_EQ(tree(), "MIXED.TXT = mixed\nNOTES.TXT = notes\nREADME.TXT = readme\n");
}

// fusefat empties any directory it renames, whoever asks: not on FAT.
class RenamingDirectories : public OnFileSystem {};

TEST_P(RenamingDirectories, BottomUpKeepingTheirContents) {
    directory("TOP");
    directory("TOP/SUB");
    file("TOP/SUB/INSIDE.TXT", "inside");
    file("TOP/FILE.TXT", "file");
    EXPECT_EQ(run({"/R", "/D", "*"}),
              crlfLines({"TOP\\", "  SUB -> sub", ".\\", "  TOP -> top", "",
                     "2 directories in 2 directories converted to lowercase.", ""}));
    EXPECT_EQ(tree(), "top/\ntop/FILE.TXT = file\ntop/sub/\ntop/sub/INSIDE.TXT = inside\n");
}

// Two spellings of one name can both exist only where case is told apart.
class TellingCaseApart : public OnFileSystem {};

TEST_P(TellingCaseApart, CollisionWithAnotherEntryFailsAndLosesNothing) {
    file("README.TXT", "upper");
    file("readme.txt", "lower");
    directory("DIR");
    directory("dir");
    EXPECT_EQ(run({"*"}), crlfLines({".\\", "  README.TXT -> readme.txt *** FAILED", "",
                                 "0 files in 1 directory converted to lowercase.", "",
                                 "Process failed at 1 file. Perhaps this file is in process by another",
                                 "application. Close these applications and try again...", ""}));
    EXPECT_TRUE(run({"/D", "*"}).find("  DIR -> dir *** FAILED\r\n") != std::string::npos);
    EXPECT_EQ(tree(), "DIR/\nREADME.TXT = upper\ndir/\nreadme.txt = lower\n");
}

class LargeDirectory : public OnFileSystem {};

TEST_P(LargeDirectory, TwentyThousandRenamesDuringOneSearch) {
    constexpr int convertible = 20000;
    directory("BIG");
    std::set<std::string> expected;
    for (int i = 0; i < convertible; ++i) {
        const std::string name = "FILE" + std::to_string(100000 + i) + ".TXT";
        file("BIG/" + name, "");
        std::string lower = name;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        expected.insert("BIG/" + lower + " = \n");
    }
    for (int i = 0; i < 50; ++i) {
        const std::string name = "Keep" + std::to_string(i) + ".Txt";
        file("BIG/" + name, "keep");
        expected.insert("BIG/" + name + " = keep\n");
    }
    const std::string out = run({"BIG/*"});
    EXPECT_TRUE(out.ends_with(crlfLines({"", "20000 files in 1 directory converted to lowercase.", ""})));
    EXPECT_EQ(out.find("FAILED"), std::string::npos);
    // Every convertible entry is listed exactly once.
    std::set<std::string> listed;
    std::size_t listings = 0;
    for (std::size_t at = out.find("\r\n  "); at != std::string::npos; at = out.find("\r\n  ", at + 2)) {
        ++listings;
        listed.insert(out.substr(at + 4, out.find(' ', at + 4) - at - 4));
    }
    EXPECT_EQ(listings, static_cast<std::size_t>(convertible));
    EXPECT_EQ(listed.size(), static_cast<std::size_t>(convertible));
    std::string expectedTree = "BIG/\n";
    for (const std::string& line : expected) expectedTree += line;
    const std::string actualTree = tree();
    const auto differ = std::mismatch(actualTree.begin(), actualTree.end(), expectedTree.begin(),
                                      expectedTree.end());
    EXPECT_TRUE(actualTree == expectedTree)
        << "first difference at byte " << (differ.first - actualTree.begin()) << ": "
        << actualTree.substr(differ.first - actualTree.begin(), 60);
}

std::string nameOf(const testing::TestParamInfo<Kind>& info) { return kindName(info.param); }

INSTANTIATE_TEST_SUITE_P(Mounted, OnFileSystem,
                         testing::Values(Kind::exfat, Kind::fat, Kind::ext4, Kind::tmpfs), nameOf);
INSTANTIATE_TEST_SUITE_P(Mounted, RenamingDirectories,
                         testing::Values(Kind::exfat, Kind::ext4, Kind::tmpfs), nameOf);
INSTANTIATE_TEST_SUITE_P(Mounted, TellingCaseApart, testing::Values(Kind::ext4, Kind::tmpfs),
                         nameOf);
INSTANTIATE_TEST_SUITE_P(Mounted, LargeDirectory,
                         testing::Values(Kind::exfat, Kind::ext4, Kind::tmpfs), nameOf);

}  // namespace
}  // namespace tocase
