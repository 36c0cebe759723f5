// The engine and the driver against the in-memory file system, which
// resolves names without regard to case, as Windows does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "case_table.h"
#include "cli/tocase_main.h"
#include "memory_platform.h"

namespace tocase {
namespace {

ToolOutput runInMemory(MemoryPlatform& fs, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "tocase");
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
    fs.output.clear();
    fs.errors.clear();
    const int status = tocaseMain(static_cast<int>(pointers.size()), pointers.data(), fs);
    return {fs.output, fs.errors, status};
}

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
    ToolOutput run(const std::vector<std::string>& arguments) override { return runInMemory(fs_, arguments); }
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

// Joins lines with the CR LF line end the console writes.
std::string lines(std::initializer_list<std::string> texts) {
    std::string out;
    for (const std::string& text : texts) out += text + "\r\n";
    return out;
}

const std::string oneFailureNotice = lines({"", "Process failed at 1 file. Perhaps this file is in process by another",
                                            "application. Close these applications and try again...", ""});

TEST(FailedRename, IsMarkedCountedAndSummedUpWhileTheRunGoesOn) {
    MemoryPlatform fs;
    fs.add("DATA", true);
    for (const char* name : {"DATA/README.TXT", "DATA/Mixed.Txt", "DATA/SETUP.EXE", "DATA/X.TXT"}) fs.add(name, false);
    fs.failRenameNumber = 2;
    EXPECT_EQ(runInMemory(fs, {"C:\\Data\\*"}).output,
              lines({"C:\\Data\\", "  README.TXT -> readme.txt", "  SETUP.EXE -> setup.exe *** FAILED",
                     "  X.TXT -> x.txt", "", "2 files in 1 directory converted to lowercase."}) +
                  oneFailureNotice);
    EXPECT_EQ(fs.tree(), (std::vector<std::string>{"DATA/", "DATA/Mixed.Txt", "DATA/SETUP.EXE",
                                                   "DATA/readme.txt<README.TXT", "DATA/x.txt<X.TXT"}));
}

TEST(FailedRename, OnlyFailureStillCountsItsDirectoryAndEachRunHasItsOwnHeader) {
    MemoryPlatform fs;
    fs.add("A.TXT", false);
    fs.add("B.TXT", false);
    fs.failRenameNumber = 1;
    const std::string failed = lines({".\\", "  A.TXT -> a.txt *** FAILED", "",
                                      "0 files in 1 directory converted to lowercase."}) + oneFailureNotice;
    EXPECT_EQ(runInMemory(fs, {"a.txt"}).output, failed);
    EXPECT_EQ(runInMemory(fs, {"b.txt"}).output.substr(0, 4), ".\\\r\n");
}

// The tree changes between the search and the rename.
TEST(HostileTree, EntryGoneOrReplacedBeforeItsRenameFailsRatherThanRenamingAnother) {
    MemoryPlatform fs;
    for (const char* name : {"GONE.TXT", "SWAP.TXT", "KEEP.TXT"}) fs.add(name, false);
    fs.beforeRename = [](MemoryPlatform& self) {
        if (self.renames.size() == 1) self.remove("GONE.TXT");
        if (self.renames.size() == 2) {
            self.remove("SWAP.TXT");
            self.add("SWAP.TXT", true);
        }
    };
    EXPECT_EQ(runInMemory(fs, {"*.txt"}).output,
              lines({".\\", "  GONE.TXT -> gone.txt *** FAILED", "  SWAP.TXT -> swap.txt *** FAILED",
                     "  KEEP.TXT -> keep.txt", "", "1 file in 1 directory converted to lowercase.", "",
                     "Process failed at 2 files. Perhaps this files are in process by another",
                     "application. Close these applications and try again...", ""}));
    EXPECT_EQ(fs.tree(), (std::vector<std::string>{"SWAP.TXT/", "keep.txt<KEEP.TXT"}));
}

TEST(HostileTree, DirectoryReplacedByAFileIsNotRenamedInDirectoryMode) {
    MemoryPlatform fs;
    fs.add("DIR", true);
    fs.beforeRename = [](MemoryPlatform& self) {
        self.remove("DIR");
        self.add("DIR", false);
    };
    EXPECT_NE(runInMemory(fs, {"/D", "*"}).output.find("  DIR -> dir *** FAILED\r\n"), std::string::npos);
    EXPECT_EQ(fs.tree(), std::vector<std::string>{"DIR"});
}

}  // namespace
}  // namespace tocase
