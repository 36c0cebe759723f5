// The Win32 renames whose failures only the system-call seam can stage,
// run under Wine: a case-only rename there always takes two steps.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/nt_files-win32.h"
#include "platform/win32/read_directory-win32.h"
#include "platform/win32/rename-win32.h"
#include "platform/win32/system_calls-win32.h"

namespace {

using namespace tocase;

constexpr NTSTATUS accessDenied = static_cast<NTSTATUS>(0xC0000022L);
// Renames to these names fail, from the given try on: under Wine a
// case-only rename goes round the temporary name at once.
std::vector<std::pair<std::wstring, int>> refused;
int failures = 0;
std::wstring root;

NTSTATUS refusingRename(HANDLE entry, HANDLE directory, const std::wstring& name) {
    for (auto& [to, triesLeft] : refused) {
        if (name == to && triesLeft-- <= 0) return accessDenied;
    }
    return realSystemCalls().renameEntry(entry, directory, name);
}

bool isTemporary(const std::wstring& name) { return name.find(L".~tocase-") != std::wstring::npos; }

// Wine's step by path, where the directory's path led to another folder at
// that instant: that folder's entry of the same name is renamed.
NTSTATUS renameElsewhere(HANDLE entry, HANDLE directory, const std::wstring& name) {
    if (!isTemporary(name)) return realSystemCalls().renameEntry(entry, directory, name);
    MoveFileW((root + L"\\swapped").c_str(), (root + L"\\swapped.real").c_str());
    MoveFileW((root + L"\\other").c_str(), (root + L"\\swapped").c_str());
    MoveFileW((root + L"\\swapped\\README.TXT").c_str(), (root + L"\\swapped\\" + name).c_str());
    return 0;
}

// The same where the path led elsewhere for the new name only: the entry leaves.
NTSTATUS renameOutOfTheDirectory(HANDLE entry, HANDLE directory, const std::wstring& name) {
    if (!isTemporary(name)) return realSystemCalls().renameEntry(entry, directory, name);
    return realSystemCalls().renameEntry(entry, nullptr, L"\\??\\" + root + L"\\" + name);
}

// Wine's step that it made, but reported failed, as when its path led
// elsewhere just after.
NTSTATUS renameThenReportFailure(HANDLE entry, HANDLE directory, const std::wstring& name) {
    const NTSTATUS status = realSystemCalls().renameEntry(entry, directory, name);
    return isTemporary(name) ? status : accessDenied;
}

void expect(bool holds, const char* what) {
    std::printf("%s: %s\n", holds ? "ok" : "FAILED", what);
    failures += !holds;
}

void makeReadme(const std::wstring& directory) {
    CreateDirectoryW(directory.c_str(), nullptr);
    CloseHandle(CreateFileW((directory + L"\\README.TXT").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
}

std::vector<std::wstring> namesIn(const std::wstring& directory) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((directory + L"\\*").c_str(), &found);
    do {
        if (found.cFileName[0] != L'.') names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// One file, renamed with the renames to `refusedNames` failing.
RenameResult renameRefusing(const std::wstring& directory, std::vector<std::pair<std::wstring, int>> refusedNames) {
    makeReadme(directory);
    // Others may move it, as a Unix process can under Wine.
    const HANDLE handle = CreateFileW(directory.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    DirectoryListing entries;
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
    return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    systemCalls().renameEntry = refusingRename;
    root = argv[1];
    std::replace(root.begin(), root.end(), L'/', L'\\');

    RenameResult result = renameRefusing(root + L"\\putBack", {{L"readme.txt", 0}});
    expect(!result.renamed && result.reason == "Access denied" && result.strandedName.empty(),
           "a refused second step is followed by the entry put back under its old name");
    expect(namesIn(root + L"\\putBack") == std::vector<std::wstring>{L"README.TXT"},
           "nothing else is left in its directory");

    result = renameRefusing(root + L"\\stranded", {{L"readme.txt", 0}, {L"README.TXT", 0}});
    const std::string temporary = "README.TXT.~tocase-" + std::to_string(GetCurrentProcessId()) + "-0";
    expect(!result.renamed && result.strandedName == temporary,
           "an entry that cannot be put back is named under the temporary name it is left with");
    expect(namesIn(root + L"\\stranded") == std::vector<std::wstring>{std::wstring(temporary.begin(), temporary.end())},
           "and is found there");

    makeReadme(root + L"\\other");
    systemCalls().renameEntry = renameElsewhere;
    result = renameRefusing(root + L"\\swapped", {});
    expect(!result.renamed && result.reason == "it was moved elsewhere during the run" && result.strandedName.empty(),
           "a step that went to another folder is said");
    expect(namesIn(root + L"\\swapped") == std::vector<std::wstring>{L"README.TXT"} &&
               namesIn(root + L"\\swapped.real") == std::vector<std::wstring>{L"README.TXT"},
           "and the other folder's entry is named back, the entry itself left as it was");

    systemCalls().renameEntry = renameOutOfTheDirectory;
    result = renameRefusing(root + L"\\out", {});
    expect(!result.renamed && result.strandedName == temporary && namesIn(root + L"\\out").empty() &&
               result.strandedFolder.find("\\out") == std::string::npos && !result.strandedFolder.empty(),
           "an entry that a step took out of its directory is named under the name it was given, with its folder");
    systemCalls().renameEntry = renameThenReportFailure;
    result = renameRefusing(root + L"\\made", {});
    expect(result.renamed && namesIn(root + L"\\made") == std::vector<std::wstring>{L"readme.txt"},
           "a step made but reported failed is a rename made");
    return failures == 0 ? 0 : 1;
}
