// The Win32 renames whose failures only the system-call seam can stage,
// run under Wine: a case-only rename there always takes two steps.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/nt_files-win32.h"
#include "platform/read_directory-win32.h"
#include "platform/rename-win32.h"
#include "platform/system_calls-win32.h"

namespace {

using namespace tocase;

constexpr NTSTATUS accessDenied = static_cast<NTSTATUS>(0xC0000022L);
// Renames to these names fail, from the given try on: the first rename to
// the new name is the one step that a case-only rename tries first.
std::vector<std::pair<std::wstring, int>> refused;
int failures = 0;

NTSTATUS refusingRename(HANDLE entry, HANDLE directory, const std::wstring& name) {
    for (auto& [to, triesLeft] : refused) {
        if (name == to && triesLeft-- <= 0) return accessDenied;
    }
    return realSystemCalls().renameEntry(entry, directory, name);
}

void expect(bool holds, const char* what) {
    std::printf("%s: %s\n", holds ? "ok" : "FAILED", what);
    failures += !holds;
}

// One file, renamed with the renames to `refusedNames` failing; what
// is left in the directory afterwards, and the result.
RenameResult renameRefusing(const std::wstring& directory, std::vector<std::pair<std::wstring, int>> refusedNames,
                            std::vector<std::wstring>& left) {
    CreateDirectoryW(directory.c_str(), nullptr);
    CloseHandle(CreateFileW((directory + L"\\README.TXT").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    const HANDLE handle = CreateFileW(directory.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    std::vector<FoundEntry> entries;
    std::string reason;
    readDirectory(handle, entries, reason);
    RenameDirectory renamer(handle, finalPathOf(handle));
    refused = std::move(refusedNames);
    RenameResult result;
    for (const FoundEntry& entry : entries) {
        if (entry.name == "README.TXT") result = renamer.rename(entry, L"readme.txt", [](std::string_view) {});
    }
    refused.clear();
    CloseHandle(handle);
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((directory + L"\\*").c_str(), &found);
    do {
        if (found.cFileName[0] != L'.') left.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    systemCalls().renameEntry = refusingRename;
    const std::wstring root = argv[1];

    std::vector<std::wstring> left;
    RenameResult result = renameRefusing(root + L"\\putBack", {{L"readme.txt", 1}}, left);
    expect(!result.renamed && result.reason == "Access denied" && result.strandedName.empty(),
           "a refused second step is followed by the entry put back under its old name");
    expect(left == std::vector<std::wstring>{L"README.TXT"}, "nothing else is left in its directory");

    left.clear();
    result = renameRefusing(root + L"\\stranded", {{L"readme.txt", 1}, {L"README.TXT", 0}}, left);
    const std::string temporary = "README.TXT.~tocase-" + std::to_string(GetCurrentProcessId()) + "-0";
    expect(!result.renamed && result.strandedName == temporary,
           "an entry that cannot be put back is named under the temporary name it is left with");
    expect(left == std::vector<std::wstring>{std::wstring(temporary.begin(), temporary.end())},
           "and is found there");
    return failures == 0 ? 0 : 1;
}
