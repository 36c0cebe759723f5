#include "platform/win32/start_folder-win32.h"

#include <windows.h>
#include <winternl.h>

#include <optional>
#include <string_view>
#include <vector>

#include "platform/win32/nt_files-win32.h"
#include "platform/win32/text-win32.h"

namespace tocase {
namespace {

std::optional<FileIdentity> folderIdentity(const wchar_t* path) {
    const HANDLE folder = CreateFileW(path, FILE_READ_ATTRIBUTES, anySharing, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    FileIdentity identity;
    const bool known = identify(folder, identity);
    CloseHandle(folder);
    return known ? std::optional(identity) : std::nullopt;
}

std::optional<FileIdentity> windowsFolderIdentity() {
    const UINT size = GetWindowsDirectoryW(nullptr, 0);
    std::wstring path(size, L'\0');
    path.resize(GetWindowsDirectoryW(path.data(), size));
    return path.empty() ? std::nullopt : folderIdentity(path.c_str());
}

// Wine's own exports, looked up so that the program runs on Windows too.
template <typename Function>
Function wineExport(const wchar_t* module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(module), name)));
}

// A name this process's thread takes for an instant, which no other
// process is likely to hold: the 15 bytes Linux keeps of a thread's name.
std::wstring uniqueThreadName() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    const ULONGLONG mixed =
        (static_cast<ULONGLONG>(counter.QuadPart) ^ (ULONGLONG{GetCurrentProcessId()} << 40)) * 0x9E3779B97F4A7C15ull;
    std::wstring name = L"tocase-";
    for (int shift = 60; shift >= 32; shift -= 4) {
        name += L"0123456789abcdef"[(mixed >> shift) & 15];
    }
    return name;
}

// The name Wine gives the process: its program's file name.
std::wstring programName() {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), MAX_PATH));
    return path.substr(path.find_last_of(L'\\') + 1);
}

// The Unix process that runs this program: the one whose main thread
// bears the name this thread is given for the search. Wine names each Unix
// file it opens through its server, whose own /proc/self that would be.
std::optional<std::wstring> ownUnixProcess() {
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    const auto setDescription = wineExport<SetDescription>(L"kernel32.dll", "SetThreadDescription");
    if (setDescription == nullptr) {
        return std::nullopt;
    }
    const std::wstring name = uniqueThreadName();
    setDescription(GetCurrentThread(), name.c_str());
    const std::string wanted = toUtf8(name) + "\n";
    std::vector<std::wstring> found;
    NTSTATUS status = 0;
    const HANDLE processes = openRelative(nullptr, L"\\??\\unix\\proc", FILE_LIST_DIRECTORY, anySharing,
                                          FILE_DIRECTORY_FILE, status);
    if (processes != nullptr) {
        forEachListed(processes, L"*", [&](std::wstring_view entry, ULONGLONG, DWORD) {
            const bool isProcess = !entry.empty() && entry.find_first_not_of(L"0123456789") == std::wstring_view::npos;
            const std::wstring process = L"\\??\\unix\\proc\\" + std::wstring(entry);
            if (isProcess && readWholeFile(process + L"\\comm") == wanted) {
                found.push_back(process);
            }
            return true;
        });
        CloseHandle(processes);
    }
    setDescription(GetCurrentThread(), programName().c_str());
    return found.size() == 1 ? std::optional(found.front()) : std::nullopt;
}

// A variable of the Unix environment the program was started with, which
// Wine keeps from the program's own.
std::optional<std::string> startEnvironmentVariable(std::string_view variable) {
    const std::optional<std::wstring> process = ownUnixProcess();
    if (!process) {
        return std::nullopt;
    }
    const std::string environment = readWholeFile(*process + L"\\environ");
    for (std::size_t start = 0; start < environment.size();) {
        const std::size_t end = std::min(environment.find('\0', start), environment.size());
        const std::string_view setting(environment.data() + start, end - start);
        if (setting.size() > variable.size() && setting.starts_with(variable) && setting[variable.size()] == '=') {
            return std::string(setting.substr(variable.size() + 1));
        }
        start = end + 1;
    }
    return std::nullopt;
}

// Started by another program of this Wine, rather than from Unix: in the
// folder that program was in, which it could open.
bool startedByAnotherProgram() {
    PROCESS_BASIC_INFORMATION information{};
    return NT_SUCCESS(NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &information,
                                                sizeof information, nullptr)) &&
           information.InheritedFromUniqueProcessId != 0;
}

// The identity of a Unix folder, by the Windows path Wine maps it to
// (dropping the trailing dots and spaces of its names); none where that
// opens nothing, or the folder is on no drive of Wine's.
std::optional<FileIdentity> unixFolderIdentity(const std::string& unixPath) {
    using DosFileName = WCHAR*(CDECL*)(const char*);
    const auto dosFileName = wineExport<DosFileName>(L"kernel32.dll", "wine_get_dos_file_name");
    WCHAR* mapped = dosFileName != nullptr ? dosFileName(unixPath.c_str()) : nullptr;
    const std::wstring path = mapped != nullptr ? mapped : L"";
    HeapFree(GetProcessHeap(), 0, mapped);
    if (path.size() < 3 || path[1] != L':') {
        return std::nullopt;
    }
    return folderIdentity((L"\\\\?\\" + path).c_str());
}

}  // namespace

// $PWD, as a shell sets it, is where the program was run from: Wine starts
// a program there unless it cannot open it, or the shell's $PWD is stale.
// Without it, a program that another program of Wine's started is where
// that one was.
Failure whyWineStartedElsewhere() {
    if (!isWine()) {
        return {};
    }
    const std::optional<FileIdentity> windows = windowsFolderIdentity();
    const std::optional<FileIdentity> here = folderIdentity(L".");
    if (!windows || !here || !(*here == *windows)) {
        return {};
    }
    const std::optional<std::string> runFrom = startEnvironmentVariable("PWD");
    if (!runFrom) {
        return startedByAnotherProgram() ? Failure() : failureOf(FailureKind::startedElsewhereUnknown);
    }
    if (const std::optional<FileIdentity> runFromIdentity = unixFolderIdentity(*runFrom);
        runFromIdentity && *runFromIdentity == *windows) {
        return {};
    }
    return failureOf(FailureKind::startedElsewhere, *runFrom);
}

}  // namespace tocase
