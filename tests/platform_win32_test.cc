// The Win32 platform layer on a real directory (under Wine in CI).
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/platform.h"
#include "platform/win32_calls.h"

namespace tocase {
namespace {

class Win32PlatformTest : public testing::Test {
protected:
    void SetUp() override {
        char base[MAX_PATH];
        ASSERT_NE(GetTempPathA(MAX_PATH, base), 0u);
        root_ = std::string(base) + "tocase-test-" + std::to_string(GetCurrentProcessId()) + "\\";
        ASSERT_TRUE(CreateDirectoryA(root_.c_str(), nullptr));
    }
    void TearDown() override {
        WIN32_FIND_DATAA data;
        const HANDLE search = FindFirstFileA((root_ + "*").c_str(), &data);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::string path = root_ + data.cFileName;
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveDirectoryA(path.c_str());
                } else {
                    DeleteFileA(path.c_str());
                }
            } while (FindNextFileA(search, &data));
            FindClose(search);
        }
        RemoveDirectoryA(root_.c_str());
    }
    void file(const std::string& name, const std::string& contents) {
        const HANDLE h = CreateFileA((root_ + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << name;
        DWORD written = 0;
        WriteFile(h, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
        CloseHandle(h);
    }
    std::map<std::string, FoundEntry> search(const std::string& pattern) {
        std::map<std::string, FoundEntry> found;
        auto s = platform_->startSearch(root_, pattern);
        if (!s) return found;
        FoundEntry entry;
        while (s->next(entry)) found[entry.name] = entry;
        return found;
    }
    std::string contents(const std::string& name) {
        const HANDLE h = CreateFileA((root_ + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return "<missing>";
        char buffer[256];
        DWORD got = 0;
        ReadFile(h, buffer, sizeof buffer, &got, nullptr);
        CloseHandle(h);
        return std::string(buffer, got);
    }

    std::string root_;
    std::unique_ptr<Platform> platform_ = makeNativePlatform();
};

TEST_F(Win32PlatformTest, SearchReportsAttributes) {
    file("README.TXT", "r");
    file("HIDDEN.TXT", "h");
    ASSERT_TRUE(SetFileAttributesA((root_ + "HIDDEN.TXT").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(CreateDirectoryA((root_ + "SUB.TXT").c_str(), nullptr));
    const auto found = search("*.txt");
    ASSERT_EQ(found.size(), 3u);
    EXPECT_TRUE(found.at("HIDDEN.TXT").isHidden);
    EXPECT_FALSE(found.at("README.TXT").isHidden);
    EXPECT_TRUE(found.at("SUB.TXT").isDirectory);
    EXPECT_FALSE(found.at("README.TXT").isDirectory);
    EXPECT_EQ(platform_->startSearch(root_ + "nowhere\\", "*"), nullptr);
    EXPECT_TRUE(platform_->facts().hasDriveLetters);
}

TEST_F(Win32PlatformTest, CaseOnlyRenameReallyChangesTheName) {
    file("README.TXT", "readme");
    ASSERT_TRUE(CreateDirectoryA((root_ + "DIR").c_str(), nullptr));
    EXPECT_TRUE(platform_->renameEntry(root_, "README.TXT", "readme.txt", false));
    EXPECT_TRUE(platform_->renameEntry(root_, "DIR", "dir", true));
    const auto found = search("*");
    EXPECT_EQ(found.count("readme.txt"), 1u);
    EXPECT_EQ(found.count("README.TXT"), 0u);
    EXPECT_EQ(found.count("dir"), 1u);
    EXPECT_EQ(contents("readme.txt"), "readme");
    for (const auto& [name, entry] : found) EXPECT_EQ(name.find("~tocase"), std::string::npos);
}

TEST_F(Win32PlatformTest, RenameNeverReplacesAnotherEntry) {
    file("A.TXT", "a");
    file("B.TXT", "b");
    EXPECT_FALSE(platform_->renameEntry(root_, "A.TXT", "B.TXT", false));
    EXPECT_FALSE(platform_->renameEntry(root_, "MISSING", "missing", false));
    // An entry of the other kind than the search found is left alone.
    EXPECT_FALSE(platform_->renameEntry(root_, "A.TXT", "a.txt", true));
    ASSERT_TRUE(CreateDirectoryA((root_ + "DIR").c_str(), nullptr));
    EXPECT_FALSE(platform_->renameEntry(root_, "DIR", "dir", false));
    EXPECT_EQ(search("dir").begin()->first, "DIR");
    EXPECT_EQ(contents("A.TXT"), "a");
    EXPECT_EQ(contents("B.TXT"), "b");
}

bool sameIgnoringCase(const char* a, const char* b) { return lstrcmpiA(a, b) == 0; }

// A file system that accepts a case-only rename and changes nothing.
BOOL WINAPI moveIgnoringCaseOnly(LPCSTR from, LPCSTR to) {
    if (sameIgnoringCase(from, to)) return TRUE;
    return MoveFileA(from, to);
}

// One that refuses every rename to a name ending in "readme.txt".
BOOL WINAPI moveRefusingReadme(LPCSTR from, LPCSTR to) {
    const std::string target = to;
    if (target.ends_with("readme.txt")) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return moveIgnoringCaseOnly(from, to);
}

class Win32MisbehavingRename : public Win32PlatformTest {
protected:
    void TearDown() override {
        win32Calls() = Win32Calls{MoveFileA};
        Win32PlatformTest::TearDown();
    }
};

TEST_F(Win32MisbehavingRename, IgnoredCaseOnlyRenameGoesThroughATemporaryName) {
    win32Calls() = Win32Calls{moveIgnoringCaseOnly};
    file("README.TXT", "readme");
    EXPECT_TRUE(platform_->renameEntry(root_, "README.TXT", "readme.txt", false));
    const auto found = search("*.txt");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found.begin()->first, "readme.txt");
    EXPECT_EQ(contents("readme.txt"), "readme");
}

TEST_F(Win32MisbehavingRename, FailedSecondStepPutsTheEntryBack) {
    win32Calls() = Win32Calls{moveRefusingReadme};
    file("README.TXT", "readme");
    EXPECT_FALSE(platform_->renameEntry(root_, "README.TXT", "readme.txt", false));
    const auto found = search("*.txt");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found.begin()->first, "README.TXT");
    EXPECT_EQ(contents("README.TXT"), "readme");
}

}  // namespace
}  // namespace tocase
