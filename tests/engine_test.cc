// The engine and the driver play the cases against the in-memory file
// system, which resolves names without regard to case, as Windows does,
// and lists entries in the order they were made.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "case_table.h"
#include "cli/tocase_main.h"
#include "memory_platform.h"

namespace tocase {
namespace {

class InMemoryLevel : public Level {
public:
    bool has(const std::string& feature) const override {
        return feature == "folding" || feature == "links" || feature == "utf8" || feature == "anynames" ||
               feature == "dirrenames";
    }
    bool listsInOrderMade() const override { return true; }
    void makeDirectory(const std::string& path) override {
        fs_.add(path, true).isHidden = path.substr(path.rfind('/') + 1).starts_with('.');
    }
    void makeFile(const std::string& path) override { fs_.add(path, false); }
    void makeLink(const std::string& path, const std::string& target) override {
        fs_.add(path, true).linkTarget = target;
    }
    ToolOutput run(const std::vector<std::string>& arguments) override {
        std::vector<const char*> pointers = {"tocase"};
        for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
        const int status = tocaseMain(static_cast<int>(pointers.size()), pointers.data(), fs_);
        EXPECT_FALSE(fs_.holdsADirectory()) << "a directory is still open after the run";
        return {fs_.output, fs_.errors, status};
    }
    std::vector<std::string> tree() override { return fs_.tree(); }

private:
    MemoryPlatform fs_;
};

class InMemory : public testing::TestWithParam<Case> {};

TEST_P(InMemory, Plays) {
    InMemoryLevel level;
    if (!canPlay(level, GetParam())) GTEST_SKIP() << "the in-memory file system folds case and lists bytes";
    playCase(level, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Cases, InMemory, testing::ValuesIn(allCases()), caseName);

void run(MemoryPlatform& fs, std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "tocase");
    tocaseMain(static_cast<int>(arguments.size()), arguments.data(), fs);
}

// Directories that can no longer be reached are said, with all they still
// had to do left undone; the rest of the walk goes on.
TEST(Walk, ParentsThatCannotBeReachedAgainAreSaidAndLeft) {
    MemoryPlatform fs;
    for (const char* directory : {"A", "A/B", "A/B/C"}) fs.add(directory, true);
    for (const char* file : {"F.TXT", "A/F.TXT", "A/B/F.TXT", "A/B/C/F.TXT"}) fs.add(file, false);
    fs.leavingLosesParent = "C";
    run(fs, {"/R", "*.TXT"});
    EXPECT_EQ(fs.output, "A\\B\\C\\\r\n  F.TXT -> f.txt\r\n.\\\r\n  F.TXT -> f.txt\r\n\r\n"
                         "2 files in 2 directories converted to lowercase.\r\n\r\n");
    EXPECT_EQ(fs.errors, "tocase: cannot read directory 'A\\B\\': moved away\n"
                         "tocase: cannot read directory 'A\\': moved away\n");
}

TEST(Walk, DirectoryThatCannotBeListedIsSaidOnceAndLeft) {
    MemoryPlatform fs;
    fs.add("A", true).unlisted = true;
    for (const char* file : {"F.TXT", "A/F.TXT"}) fs.add(file, false);
    run(fs, {"/R", "*.TXT"});
    EXPECT_EQ(fs.output, ".\\\r\n  F.TXT -> f.txt\r\n\r\n1 file in 1 directory converted to lowercase.\r\n\r\n");
    EXPECT_EQ(fs.errors, "tocase: cannot read directory 'A\\': Input/output error\n");
}

TEST(Convert, EntryLeftUnderATemporaryNameIsSaidWithBothNames) {
    MemoryPlatform fs;
    fs.add("D", true);
    fs.add("D/A\x01.TXT", false);
    fs.strandUnder = "A.~tmp";
    run(fs, {"D/*.TXT"});
    EXPECT_EQ(fs.errors, "tocase: 'D/A\\x01.TXT' is left under the name 'A.~tmp': Input/output error\n");
}

}  // namespace
}  // namespace tocase
