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
#include "platform/win32/start_folder-win32.h"
#include "platform/win32/system_calls-win32.h"
#include "platform/win32/text-win32.h"

namespace {

using namespace tocase;

constexpr NTSTATUS accessDenied = static_cast<NTSTATUS>(0xC0000022L);
constexpr NTSTATUS lockConflict = static_cast<NTSTATUS>(0xC0000054L);
constexpr NTSTATUS invalidHandle = static_cast<NTSTATUS>(0xC0000008L);
constexpr NTSTATUS noSuchFile = static_cast<NTSTATUS>(0xC000000FL);
constexpr NTSTATUS nameInvalid = static_cast<NTSTATUS>(0xC0000033L);
constexpr NTSTATUS collision = static_cast<NTSTATUS>(0xC0000035L);
constexpr NTSTATUS typeMismatch = static_cast<NTSTATUS>(0xC0000024L);

// A call on the name whose last part is `name` fails with `status`, from
// the given try on: under Wine a case-only rename goes round the temporary
// name at once.
struct Refusal {
    std::wstring name;
    NTSTATUS status = accessDenied;
    int triesLeft = 0;
    int times = -1;  // how many tries fail; all where negative
};
std::vector<Refusal> refused;        // renames to the name
std::vector<Refusal> refusedOpens;   // opens of the entry itself, to rename it
std::vector<Refusal> refusedLookups; // opens that only look
std::wstring fakeMountTable;         // stands for Unix's, where set
std::wstring fakeEnvironment;        // stands for a Unix process's, where set
int failures = 0;
std::wstring root;

std::wstring leafOf(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }

bool refuses(std::vector<Refusal>& refusals, const std::wstring& name, NTSTATUS& status) {
    for (Refusal& refusal : refusals) {
        if (leafOf(name) == refusal.name && refusal.triesLeft-- <= 0 && refusal.times-- != 0) {
            status = refusal.status;
            return true;
        }
    }
    return false;
}

NTSTATUS refusingRename(HANDLE entry, HANDLE directory, const std::wstring& name) {
    NTSTATUS status = 0;
    return refuses(refused, name, status) ? status : realSystemCalls().renameEntry(entry, directory, name);
}

NTSTATUS refusingOpen(HANDLE directory, const std::wstring& name, ACCESS_MASK access, ULONG sharing, ULONG options,
                      HANDLE& handle) {
    NTSTATUS status = 0;
    if (refuses((access & DELETE) != 0 ? refusedOpens : refusedLookups, name, status)) return status;
    const bool mountTable = !fakeMountTable.empty() && name == L"\\??\\unix\\proc\\self\\mountinfo";
    const bool environment = !fakeEnvironment.empty() && name.starts_with(L"\\??\\unix\\proc\\") &&
                             name.ends_with(L"\\environ");
    const std::wstring& opened = mountTable ? fakeMountTable : environment ? fakeEnvironment : name;
    return realSystemCalls().openFile(opened == name ? directory : nullptr, opened, access, sharing, options, handle);
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

// One entry, README.TXT or with `folder` the folder MNT, renamed to its
// lowercase with the calls `refusals` names failing.
RenameResult renameRefusing(const std::wstring& directory, std::vector<Refusal> refusals, bool folder = false) {
    makeReadme(directory);
    CreateDirectoryW((directory + L"\\MNT").c_str(), nullptr);
    // Others may move it, as a Unix process can under Wine.
    const HANDLE handle = CreateFileW(directory.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    DirectoryListing entries;
    Failure failure;
    readDirectory(handle, entries, failure);
    RenameDirectory renamer(handle, finalPathOf(handle));
    refused = std::move(refusals);
    RenameResult result;
    for (const FoundEntry& entry : entries) {
        if (entry.name == (folder ? "MNT" : "README.TXT")) {
            result = renamer.rename(entry, folder ? L"mnt" : L"readme.txt", [](std::string_view) {});
        }
    }
    refused.clear();
    refusedOpens.clear();
    refusedLookups.clear();
    CloseHandle(handle);
    return result;
}

std::wstring writeFile(const std::wstring& name, const std::string& text) {
    const std::wstring path = root + L"\\" + name;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return L"\\??\\" + path;
}

// Why it would rename nothing, run in the Windows directory with a Unix
// environment of `environment`, settings each ended by a null.
std::string startedElsewhere(const std::string& environment) {
    fakeEnvironment = writeFile(L"environ", environment);
    std::wstring here(MAX_PATH, L'\0'), windows(MAX_PATH, L'\0');
    here.resize(GetCurrentDirectoryW(MAX_PATH, here.data()));
    windows.resize(GetWindowsDirectoryW(windows.data(), MAX_PATH));
    SetCurrentDirectoryW(windows.c_str());
    const std::string why = describe(whyWineStartedElsewhere());
    SetCurrentDirectoryW(here.c_str());
    fakeEnvironment.clear();
    return why;
}

std::vector<std::wstring> files(const std::wstring& directory) {
    std::vector<std::wstring> names = namesIn(directory);
    std::erase(names, L"MNT");
    return names;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    systemCalls().renameEntry = refusingRename;
    systemCalls().openFile = refusingOpen;
    root = argv[argc - 1];
    std::replace(root.begin(), root.end(), L'/', L'\\');
    // Started by the test itself, as another program of Wine's starts one.
    if (argc == 3) return startedElsewhere(std::string("A=1\0", 4)).empty() ? 0 : 1;
    if (argc != 2) return 2;
    const std::wstring pid = std::to_wstring(GetCurrentProcessId());

    expect(startedElsewhere(std::string("A=1\0PWD=/run/from\0", 18)) ==
               "Wine started it in the Windows directory instead of '/run/from', the folder it was run from",
           "started in the Windows directory as Wine could not open $PWD, it names that folder");
    using UnixFileName = char*(CDECL*)(const WCHAR*);
    const auto unixFileName = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    expect(startedElsewhere("PWD=" + std::string(unixFileName(L"C:\\windows")) + '\0').empty(),
           "where $PWD is the Windows directory, it runs there");
    expect(startedElsewhere(std::string("A=1\0", 4)) ==
               "Wine started it in the Windows directory, and the folder it was run from is not known",
           "without $PWD, one started from Unix does not run there");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    std::wstring command = L"\"" + std::wstring(argv[0]) + L"\" started " + root;
    DWORD exitCode = 1;
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        WaitForSingleObject(started.hProcess, INFINITE);
        GetExitCodeProcess(started.hProcess, &exitCode);
        CloseHandle(started.hProcess);
        CloseHandle(started.hThread);
    }
    expect(exitCode == 0, "without $PWD, one that another program of Wine's started runs where that one was");

    // The way back meets another folder's entry once, as Wine's path led there.
    RenameResult result = renameRefusing(root + L"\\putBack", {{L"readme.txt"}, {L"README.TXT", collision, 0, 1}});
    expect(!result.renamed && describe(result.failure) == "Access denied" && result.strandedName.empty(),
           "a refused second step is followed by the entry put back under its old name, tried again where it met "
           "an entry its folder does not list");
    expect(files(root + L"\\putBack") == std::vector<std::wstring>{L"README.TXT"},
           "nothing else is left in its directory");

    // Wine cannot follow the path of the entry's handle on the way back, three times.
    result = renameRefusing(root + L"\\lostPath", {{L"readme.txt"}, {L"README.TXT", typeMismatch, 0, 3}});
    expect(describe(result.failure) == "Access denied" && files(root + L"\\lostPath") == std::vector<std::wstring>{L"README.TXT"},
           "a way back that failed as its path led nowhere is tried again, through the entry opened anew");
    // The folder's own path, looked up before the way back, cannot be followed for an instant.
    refusedLookups = {{L"wayBack", invalidHandle, 2, 1}};
    result = renameRefusing(root + L"\\wayBack", {{L"readme.txt"}});
    expect(describe(result.failure) == "Access denied" && files(root + L"\\wayBack") == std::vector<std::wstring>{L"README.TXT"},
           "a folder's path that cannot be followed for an instant is waited for before the way back");

    result = renameRefusing(root + L"\\stranded", {{L"readme.txt"}, {L"README.TXT", invalidHandle}});
    const std::string temporary = "README.TXT.~tocase-" + std::to_string(GetCurrentProcessId()) + "-0";
    expect(!result.renamed && result.strandedName == temporary && describe(result.failure) == "its folder was moved while it was renamed",
           "an entry that cannot be put back is named under the temporary name it is left with, and why");
    expect(files(root + L"\\stranded") == std::vector<std::wstring>{std::wstring(temporary.begin(), temporary.end())},
           "and is found there");

    // What Wine's own words would misname.
    refusedOpens = {{L"README.TXT", noSuchFile}};
    result = renameRefusing(root + L"\\inPlace", {});
    expect(describe(result.failure) == "its folder was moved while it was renamed",
           "an entry still listed where it was, that a look-up by path missed, was missed as its folder moved");
    refusedOpens = {{L"README.TXT", nameInvalid}};
    expect(describe(renameRefusing(root + L"\\refusedName", {}).failure) == "this system refuses its name",
           "a name the system refuses is said to be one");
    refusedLookups = {{L"readme.txt", noSuchFile}};
    result = renameRefusing(root + L"\\dangling", {});
    expect(describe(result.failure) == "'readme.txt' is held, in some spelling, by a link that leads nowhere" &&
               files(root + L"\\dangling") == std::vector<std::wstring>{L"README.TXT"},
           "a look-up that finds a link leading nowhere says so, and nothing moves");
    result = renameRefusing(root + L"\\busy", {{L"MNT.~tocase-" + pid + L"-0", lockConflict}}, true);
    expect(!result.renamed && describe(result.failure) == "another file system is mounted there",
           "a folder that Unix will not rename as busy is one where another file system is mounted");
    std::wstring unixRoot = root.substr(2);
    std::replace(unixRoot.begin(), unixRoot.end(), L'\\', L'/');
    fakeMountTable = writeFile(L"mounts", "36 35 0:42 / " + toUtf8(unixRoot) + "/mountTable/MNT rw - tmpfs none rw\n");
    result = renameRefusing(root + L"\\mountTable", {}, true);
    fakeMountTable.clear();
    expect(!result.renamed && describe(result.failure) == "another file system is mounted there",
           "a folder where Unix mounted anything is not renamed, though Wine opens what is mounted there");

    makeReadme(root + L"\\other");
    systemCalls().renameEntry = renameElsewhere;
    result = renameRefusing(root + L"\\swapped", {});
    expect(!result.renamed && describe(result.failure) == "it was moved elsewhere during the run" && result.strandedName.empty(),
           "a step that went to another folder is said");
    expect(files(root + L"\\swapped") == std::vector<std::wstring>{L"README.TXT"} &&
               files(root + L"\\swapped.real") == std::vector<std::wstring>{L"README.TXT"},
           "and the other folder's entry is named back, the entry itself left as it was");

    systemCalls().renameEntry = renameOutOfTheDirectory;
    result = renameRefusing(root + L"\\out", {});
    expect(!result.renamed && result.strandedName == temporary && files(root + L"\\out").empty() &&
               result.strandedFolder.find("\\out") == std::string::npos && !result.strandedFolder.empty(),
           "an entry that a step took out of its directory is named under the name it was given, with its folder");
    systemCalls().renameEntry = renameThenReportFailure;
    result = renameRefusing(root + L"\\made", {});
    expect(result.renamed && files(root + L"\\made") == std::vector<std::wstring>{L"readme.txt"},
           "a step made but reported failed is a rename made");
    return failures == 0 ? 0 : 1;
}
