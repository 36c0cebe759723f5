// The Win32 rename on a real directory, under Wine in CI, with the rename
// made to fail at the seam. The table of cases plays the rest under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/text-win32.h"
#include "platform/system_calls-win32.h"

namespace tocase {
namespace {

// A file system that refuses to rename an entry from its temporary name to
// "readme.txt", and, when `refuseBack`, to "README.TXT" too. Wine itself
// takes a case-only rename and changes nothing, so every such rename here
// goes round a temporary name.
bool refuseBack = false;

NTSTATUS renameRefusingReadme(HANDLE entry, HANDLE directory, const std::wstring& name) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetFinalPathNameByHandleW(entry, path, MAX_PATH, 0);
    const bool fromTemporary = std::wstring(path, length).find(L"~tocase-") != std::wstring::npos;
    if (fromTemporary && (name == L"readme.txt" || (refuseBack && name == L"README.TXT"))) {
        return static_cast<NTSTATUS>(0xC0000022L);  // access denied
    }
    return realSystemCalls().renameEntry(entry, directory, name);
}

class Win32Rename : public testing::Test {
protected:
    void SetUp() override {
        wchar_t base[MAX_PATH];
        ASSERT_NE(GetTempPathW(MAX_PATH, base), 0u);
        root_ = std::wstring(base) + L"tocase-test-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        ASSERT_TRUE(CreateDirectoryW(root_.c_str(), nullptr));
        const HANDLE file = CreateFileW((root_ + L"README.TXT").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
        std::string reason;
        ASSERT_TRUE(platform_->openDirectory(toCodePage(root_), reason)) << reason;
    }
    void TearDown() override {
        systemCalls() = realSystemCalls();
        refuseBack = false;
        platform_.reset();
        for (const std::wstring& name : names()) DeleteFileW((root_ + name).c_str());
        RemoveDirectoryW(root_.c_str());
    }
    std::vector<std::wstring> names() {
        std::vector<std::wstring> found;
        WIN32_FIND_DATAW data;
        const HANDLE search = FindFirstFileW((root_ + L"*").c_str(), &data);
        do {
            if (data.cFileName[0] != L'.') found.push_back(data.cFileName);
        } while (FindNextFileW(search, &data));
        FindClose(search);
        return found;
    }
    RenameResult renameReadme() {
        FoundEntry entry;
        entry.name = "README.TXT";
        entry.storedName = wideBytes(L"README.TXT");
        return platform_->renameEntry(entry, true, [](std::string_view) {});
    }

    std::wstring root_;
    std::unique_ptr<Platform> platform_ = std::make_unique<Platform>();
};

TEST_F(Win32Rename, FailedSecondStepPutsTheEntryBack) {
    systemCalls().renameEntry = renameRefusingReadme;
    const RenameResult result = renameReadme();
    EXPECT_FALSE(result.renamed);
    EXPECT_EQ(result.reason, "Access denied");
    EXPECT_EQ(names(), std::vector<std::wstring>{L"README.TXT"});
}

TEST_F(Win32Rename, EntryThatCannotBePutBackIsReportedUnderItsTemporaryName) {
    systemCalls().renameEntry = renameRefusingReadme;
    refuseBack = true;
    const RenameResult result = renameReadme();
    EXPECT_FALSE(result.renamed);
    EXPECT_TRUE(result.strandedName.starts_with("README.TXT.~tocase-")) << result.strandedName;
    EXPECT_EQ(names(), std::vector<std::wstring>{fromCodePage(result.strandedName)});
}

}  // namespace
}  // namespace tocase
