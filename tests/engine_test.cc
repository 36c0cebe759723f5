// The engine and the driver against an in-memory file system that resolves
// names without regard to case, as Windows does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/tocase_main.h"
#include "memory_platform.h"

namespace tocase {
namespace {

std::string run(MemoryPlatform& platform, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "tocase");
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
    EXPECT_EQ(tocaseMain(static_cast<int>(pointers.size()), pointers.data(), platform), 1);
    return platform.output;
}

// Joins lines with the CR LF line end the console writes.
std::string lines(std::initializer_list<std::string> texts) {
    std::string out;
    for (const std::string& text : texts) out += text + "\r\n";
    return out;
}

TEST(Engine, ConvertsTheDataExampleOnlyInItsLastComponent) {
    MemoryPlatform fs;
    fs.addDirectory("C:\\Data");
    fs.addFile("C:\\Data\\README.TXT", "hello");
    fs.addFile("C:\\Data\\notes.txt");
    EXPECT_EQ(run(fs, {"C:\\Data\\*.TXT"}),
              lines({"C:\\Data\\", "  README.TXT -> readme.txt", "",
                     "1 file in 1 directory converted to lowercase.", ""}));
    EXPECT_EQ(fs.renames, std::vector<std::string>{"C:\\Data\\|README.TXT|readme.txt"});
    EXPECT_EQ(fs.tree("C:\\Data"), "readme.txt = hello\nnotes.txt\n");
}

TEST(Engine, NameWithoutWildcardsFindsAnySpelling) {
    MemoryPlatform fs;
    fs.addFile("README.TXT");
    EXPECT_EQ(run(fs, {"readme.txt"}),
              lines({".\\", "  README.TXT -> readme.txt", "",
                     "1 file in 1 directory converted to lowercase.", ""}));
}

TEST(Engine, OneHeaderPerDirectoryAndFailuresAfterIt) {
    MemoryPlatform fs;
    fs.addDirectory("C:\\DATA");
    fs.addFile("C:\\DATA\\README.TXT");
    fs.addFile("C:\\DATA\\Mixed.Txt");
    fs.addFile("C:\\DATA\\SETUP.EXE");
    fs.failRenameNumber = 2;
    EXPECT_EQ(run(fs, {"C:\\DATA\\*.*"}),
              lines({"C:\\DATA\\", "  README.TXT -> readme.txt",
                     "  SETUP.EXE -> setup.exe *** FAILED", "",
                     "1 file in 1 directory converted to lowercase.", "",
                     "Process failed at 1 file. Perhaps this file is in process by another",
                     "application. Close these applications and try again...", ""}));
    EXPECT_EQ(fs.tree("C:\\DATA"), "readme.txt\nMixed.Txt\nSETUP.EXE\n");
}

TEST(Engine, OnlyFailureStillCountsItsDirectory) {
    MemoryPlatform fs;
    fs.addFile("A.TXT");
    fs.failRenameNumber = 1;
    const std::string out = run(fs, {"/D", "*", "/D", "/L", "*.txt"});
    EXPECT_EQ(out, lines({"", "0 directories in 0 directories converted to lowercase.", ""}));
    fs.output.clear();
    EXPECT_EQ(run(fs, {"*.txt"}),
              lines({".\\", "  A.TXT -> a.txt *** FAILED", "",
                     "0 files in 1 directory converted to lowercase.", "",
                     "Process failed at 1 file. Perhaps this file is in process by another",
                     "application. Close these applications and try again...", ""}));
}

TEST(Engine, ModesAndMixedNames) {
    struct Case {
        std::vector<std::string> options;
        std::string converted;  // names renamed, in order, joined by spaces
    };
    const std::vector<Case> cases = {
        {{}, "README.TXT"},
        {{"/U"}, "readme.txt"},
        {{"/MIXED"}, "README.TXT ReadMe.txt"},
        {{"/U", "/mixed"}, "readme.txt ReadMe.txt"},
    };
    for (const Case& c : cases) {
        MemoryPlatform fs;
        fs.addDirectory("a");
        for (const char* name : {"README.TXT", "readme.txt", "ReadMe.txt", "123.45"}) {
            fs.addFile(std::string("a\\") + name);
        }
        std::vector<std::string> arguments = c.options;
        arguments.push_back("a\\*");
        run(fs, arguments);
        std::string renamed;
        for (const std::string& r : fs.renames) {
            if (!renamed.empty()) renamed.push_back(' ');
            renamed.append(r, 3, r.find('|', 3) - 3);
        }
        EXPECT_EQ(renamed, c.converted) << testing::PrintToString(c.options);
    }
}

TEST(Engine, DirectoryModeTakesDirectoriesOnlyAndDotsHaveNoLetters) {
    MemoryPlatform fs;
    fs.addDirectory("DOCS");
    fs.addFile("FILE.TXT");
    EXPECT_EQ(run(fs, {"DOCS"}), lines({"", "0 files in 0 directories converted to lowercase.", ""}));
    fs.output.clear();
    EXPECT_EQ(run(fs, {"/D", "*"}),
              lines({".\\", "  DOCS -> docs", "",
                     "1 directory in 1 directory converted to lowercase.", ""}));
    EXPECT_EQ(fs.tree(), "docs\\\nFILE.TXT\n");
}

TEST(Engine, MissingDirectoryIsAnEmptyResult) {
    MemoryPlatform fs;
    EXPECT_EQ(run(fs, {"C:\\Nowhere\\*.TXT"}),
              lines({"", "0 files in 0 directories converted to lowercase.", ""}));
    EXPECT_TRUE(fs.renames.empty());
}

TEST(Engine, HelpRenamesNothing) {
    MemoryPlatform fs;
    fs.addFile("A.TXT");
    const std::string out = run(fs, {"/?", "*.txt"});
    EXPECT_EQ(out.rfind("TOCASE v1.1 for Win32", 0), 0u);
    EXPECT_TRUE(out.ends_with("  /?        : help (this page)\r\n\r\n"));
    EXPECT_TRUE(fs.renames.empty());
    EXPECT_TRUE(fs.searches.empty());
}

TEST(Engine, EachRunStartsWithAFreshHeader) {
    MemoryPlatform fs;
    fs.addFile("A.TXT");
    fs.addFile("B.TXT");
    run(fs, {"a.txt"});
    fs.output.clear();
    EXPECT_EQ(run(fs, {"b.txt"}).substr(0, 4), ".\\\r\n");
}

}  // namespace
}  // namespace tocase

namespace tocase {
namespace {

TEST(Descent, DepthFirstWithEachDirectoryAfterEverythingBelowIt) {
    MemoryPlatform fs;
    for (const char* d : {"A", "A\\A1", "B", "B\\B1"}) fs.addDirectory(d);
    EXPECT_EQ(run(fs, {"/R", "/D", "*"}),
              lines({"A\\", "  A1 -> a1", "B\\", "  B1 -> b1", ".\\", "  A -> a", "  B -> b", "",
                     "4 directories in 3 directories converted to lowercase.", ""}));
    EXPECT_EQ(fs.tree(), "a\\\n  a1\\\nb\\\n  b1\\\n");
    // Each directory is read twice at most: once to descend, once to match.
    EXPECT_EQ(fs.searches,
              (std::vector<std::string>{"|*.*", "A\\|*.*", "A\\A1\\|*.*", "A\\A1\\|*", "A\\|*",
                                        "B\\|*.*", "B\\B1\\|*.*", "B\\B1\\|*", "B\\|*", "|*"}));
}

TEST(Descent, BottomUpSoNoPathPassesThroughARenamedDirectory) {
    MemoryPlatform fs;
    fs.addDirectory("C:\\Work");
    fs.addDirectory("C:\\Work\\SUB");
    fs.addDirectory("C:\\Work\\SUB\\DEEP");
    fs.addFile("C:\\Work\\SUB\\DEEP\\F.TXT", "kept");
    EXPECT_EQ(run(fs, {"C:\\Work\\*", "/R", "/D"}),
              lines({"C:\\Work\\SUB\\", "  DEEP -> deep", "C:\\Work\\", "  SUB -> sub", "",
                     "2 directories in 2 directories converted to lowercase.", ""}));
    EXPECT_EQ(fs.renames, (std::vector<std::string>{"C:\\Work\\SUB\\|DEEP|deep",
                                                    "C:\\Work\\|SUB|sub"}));
    EXPECT_EQ(fs.tree("C:\\Work"), "sub\\\n  deep\\\n    F.TXT = kept\n");
}

TEST(Descent, HiddenDirectoriesAreMatchedButNotEntered) {
    MemoryPlatform fs;
    fs.addDirectory("B");
    fs.addFile("B\\X.TXT");
    fs.addFile("Y.TXT");
    fs.addHiddenDirectory("HID");
    fs.addFile("HID\\Z.TXT");
    EXPECT_EQ(run(fs, {"*.TXT", "/R"}),
              lines({"B\\", "  X.TXT -> x.txt", ".\\", "  Y.TXT -> y.txt", "",
                     "2 files in 2 directories converted to lowercase.", ""}));
    fs.output.clear();
    EXPECT_EQ(run(fs, {"/R", "/D", "*"}),
              lines({".\\", "  B -> b", "  HID -> hid", "",
                     "2 directories in 1 directory converted to lowercase.", ""}));
    EXPECT_EQ(fs.tree(), "b\\\n  x.txt\ny.txt\nhid\\\n  Z.TXT\n");
}

TEST(Descent, LinksAreMatchedButNeverEntered) {
    MemoryPlatform fs;
    fs.addDirectory("REAL");
    fs.addFile("REAL\\F.TXT");
    fs.addDirectoryLink("LINK");
    EXPECT_EQ(run(fs, {"/R", "/D", "*"}),
              lines({".\\", "  REAL -> real", "  LINK -> link", "",
                     "2 directories in 1 directory converted to lowercase.", ""}));
    for (const std::string& search : fs.searches) EXPECT_EQ(search.find("LINK"), std::string::npos);
}

TEST(Descent, SlashFileSpecGetsBackslashSubdirectories) {
    MemoryPlatform fs;
    fs.addDirectory("data");
    fs.addDirectory("data\\sub");
    fs.addFile("data\\sub\\README.TXT");
    fs.addFile("data\\sub\\OTHER.TXT");
    EXPECT_EQ(run(fs, {"/R", "data/readme.txt"}),
              lines({"data/sub\\", "  README.TXT -> readme.txt", "",
                     "1 file in 1 directory converted to lowercase.", ""}));
    EXPECT_EQ(fs.renames, std::vector<std::string>{"data/sub\\|README.TXT|readme.txt"});
}

TEST(Descent, UnsearchableSubdirectoryContributesNothing) {
    MemoryPlatform fs;
    fs.addDirectory("GONE");
    fs.addDirectory("KEPT");
    fs.addFile("KEPT\\K.TXT");
    fs.addFile("GONE\\G.TXT");
    // The directory vanishes between the parent's search and its own.
    fs.beforeSearch = [](MemoryPlatform& self, std::string_view prefix) {
        if (prefix == "GONE\\") self.remove("GONE");
    };
    EXPECT_EQ(run(fs, {"/R", "*.txt"}),
              lines({"KEPT\\", "  K.TXT -> k.txt", "",
                     "1 file in 1 directory converted to lowercase.", ""}));
}

}  // namespace
}  // namespace tocase

namespace tocase {
namespace {

// The tree changes between the search and the rename.
TEST(HostileTree, EntryRemovedOrReplacedBeforeItsRenameIsAFailureNotAWrongRename) {
    MemoryPlatform fs;
    fs.addFile("GONE.TXT", "gone");
    fs.addFile("SWAP.TXT", "swap");
    fs.addFile("KEEP.TXT", "keep");
    fs.beforeRename = [](MemoryPlatform& self) {
        if (self.renames.size() == 1) self.remove("GONE.TXT");
        if (self.renames.size() == 2) {
            self.remove("SWAP.TXT");
            self.addDirectory("SWAP.TXT");
            self.addFile("SWAP.TXT\\INSIDE", "inside");
        }
    };
    EXPECT_EQ(run(fs, {"*.txt"}),
              lines({".\\", "  GONE.TXT -> gone.txt *** FAILED", "  SWAP.TXT -> swap.txt *** FAILED",
                     "  KEEP.TXT -> keep.txt", "", "1 file in 1 directory converted to lowercase.", "",
                     "Process failed at 2 files. Perhaps this files are in process by another",
                     "application. Close these applications and try again...", ""}));
    EXPECT_EQ(fs.tree(), "keep.txt = keep\nSWAP.TXT\\\n  INSIDE = inside\n");
}

TEST(HostileTree, DirectoryRemovedBeforeItsOwnRenamesFailsThemAll) {
    MemoryPlatform fs;
    fs.addDirectory("SUB");
    fs.addFile("SUB\\A.TXT");
    fs.addFile("SUB\\B.TXT");
    fs.beforeRename = [](MemoryPlatform& self) { self.remove("SUB"); };
    const std::string out = run(fs, {"SUB\\*"});
    EXPECT_EQ(out, lines({"SUB\\", "  A.TXT -> a.txt *** FAILED", "  B.TXT -> b.txt *** FAILED", "",
                          "0 files in 1 directory converted to lowercase.", "",
                          "Process failed at 2 files. Perhaps this files are in process by another",
                          "application. Close these applications and try again...", ""}));
}

TEST(HostileTree, DirectoryReplacedByAFileIsNotRenamedInDirectoryMode) {
    MemoryPlatform fs;
    fs.addDirectory("DIR");
    fs.beforeRename = [](MemoryPlatform& self) {
        self.remove("DIR");
        self.addFile("DIR", "now a file");
    };
    EXPECT_NE(run(fs, {"/D", "*"}).find("  DIR -> dir *** FAILED\r\n"), std::string::npos);
    EXPECT_EQ(fs.tree(), "DIR = now a file\n");
}

}  // namespace
}  // namespace tocase
