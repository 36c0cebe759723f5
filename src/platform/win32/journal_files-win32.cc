#include "platform/journal_files.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <memory>

#include "platform/win32/nt_files-win32.h"
#include "platform/win32/stop_request-win32.h"
#include "platform/win32/text-win32.h"

namespace tocase::journal_files {
namespace {

// What another account may not be granted: on the directory, to make,
// rename or remove files in it; on a journal, to read or change it.
constexpr ACCESS_MASK changing = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                                 FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
constexpr ACCESS_MASK reading = FILE_READ_DATA | FILE_READ_EA | GENERIC_READ;

// The account this process runs as, once.
PSID userSid() {
    static const std::unique_ptr<char[]> user = [] {
        HANDLE token = nullptr;
        DWORD size = 0;
        std::unique_ptr<char[]> buffer;
        if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
            GetTokenInformation(token, TokenUser, nullptr, 0, &size);
            buffer = std::make_unique<char[]>(size);
            if (!GetTokenInformation(token, TokenUser, buffer.get(), size, &size)) {
                buffer.reset();
            }
            CloseHandle(token);
        }
        return buffer;
    }();
    return user ? reinterpret_cast<TOKEN_USER*>(user.get())->User.Sid : nullptr;
}

// The user alone, and what is made inside after it.
struct PrivateSecurity {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    PrivateSecurity() {
        wchar_t* sid = nullptr;
        if (userSid() != nullptr && ConvertSidToStringSidW(userSid(), &sid)) {
            const std::wstring text = std::wstring(L"O:") + sid + L"D:P(A;OICI;FA;;;" + sid + L")";
            ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1, &descriptor, nullptr);
            LocalFree(sid);
        }
        attributes.lpSecurityDescriptor = descriptor;
    }
    ~PrivateSecurity() { LocalFree(descriptor); }
    PrivateSecurity(const PrivateSecurity&) = delete;
    PrivateSecurity& operator=(const PrivateSecurity&) = delete;
};

SECURITY_ATTRIBUTES* privateAttributes() {
    static PrivateSecurity security;
    return security.descriptor != nullptr ? &security.attributes : nullptr;
}

Failure lastFailure() { return systemFailure(static_cast<long>(GetLastError())); }

// The system and its administrators may do anything whatever a file says.
bool isOwnOrSystems(PSID sid) {
    return EqualSid(sid, userSid()) || IsWellKnownSid(sid, WinLocalSystemSid) ||
           IsWellKnownSid(sid, WinBuiltinAdministratorsSid);
}

// Owned by the user, and granting `forbidden` to no other account.
bool grantsNoOneElse(const std::string& path, ACCESS_MASK forbidden, bool directory) {
    const HANDLE file = CreateFileW(fromUtf8(path).c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION information;
    PSID owner = nullptr;
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    bool closed = GetFileInformationByHandle(file, &information) &&
                  (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
                  ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == directory &&
                  GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                  &owner, nullptr, &acl, nullptr, &descriptor) == ERROR_SUCCESS &&
                  userSid() != nullptr && EqualSid(owner, userSid()) && acl != nullptr;
    for (DWORD i = 0; closed && i < acl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        closed = GetAce(acl, i, reinterpret_cast<void**>(&header)) != 0;
        if (closed && header->AceType == ACCESS_ALLOWED_ACE_TYPE) {
            const auto* ace = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
            closed = (ace->Mask & forbidden) == 0 || isOwnOrSystems(const_cast<DWORD*>(&ace->SidStart));
        }
    }
    LocalFree(descriptor);
    CloseHandle(file);
    return closed;
}

bool writeAll(HANDLE file, std::string_view text) {
    while (!text.empty()) {
        DWORD written = 0;
        if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) || written == 0) {
            return false;
        }
        text.remove_prefix(written);
    }
    return true;
}

}  // namespace

std::string directoryPath(Failure& failure) {
    const DWORD size = GetEnvironmentVariableW(L"LOCALAPPDATA", nullptr, 0);
    std::wstring base(size, L'\0');
    if (size == 0 || GetEnvironmentVariableW(L"LOCALAPPDATA", base.data(), size) != size - 1) {
        failure = failureOf(FailureKind::noLocalAppData);
        return {};
    }
    base.resize(size - 1);
    return toUtf8(tocase::pathWithin(base, L"tocase"));
}

std::string pathWithin(const std::string& directory, std::string_view name) {
    return directory + "\\" + std::string(name);
}

// Only the last is made here: the folders above it are the system's.
bool makeDirectories(const std::string& path, Failure& failure) {
    if (!CreateDirectoryW(fromUtf8(path).c_str(), privateAttributes()) && GetLastError() != ERROR_ALREADY_EXISTS) {
        failure = {FailureKind::system, static_cast<long>(GetLastError()), path};
        return false;
    }
    return true;
}

bool isPrivateDirectory(const std::string& path, bool& missing, Failure& failure) {
    const DWORD attributes = GetFileAttributesW(fromUtf8(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        missing = GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
        failure = {FailureKind::system, static_cast<long>(GetLastError()), path};
        return false;
    }
    if (!grantsNoOneElse(path, changing, true)) {
        failure = failureOf(FailureKind::folderNotPrivate, path);
        return false;
    }
    return true;
}

std::vector<std::string> fileNames(const std::string& directory) {
    std::vector<std::string> found;
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW(fromUtf8(pathWithin(directory, "*")).c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        return found;
    }
    do {
        if ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0) {
            found.push_back(toUtf8(data.cFileName));
        }
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return found;
}

bool isPrivateFile(const std::string& path, Failure& failure) {
    if (!grantsNoOneElse(path, changing | reading, false)) {
        failure = failureOf(FailureKind::fileNotPrivate);
        return false;
    }
    return true;
}

bool writeNewFile(const std::string& path, std::string_view text, Failure& failure) {
    const HANDLE file = CreateFileW(fromUtf8(path).c_str(), GENERIC_WRITE, 0, privateAttributes(), CREATE_NEW,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        failure = lastFailure();
        return false;
    }
    const bool written = writeAll(file, text);
    if (!written) {
        failure = lastFailure();
    }
    CloseHandle(file);
    return written;
}

bool appendToFile(const std::string& path, std::string_view text, Failure& failure) {
    const HANDLE file = CreateFileW(fromUtf8(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    const bool written = file != INVALID_HANDLE_VALUE && writeAll(file, text);
    if (!written) {
        failure = lastFailure();
    }
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    return written;
}

bool readFile(const std::string& path, std::string& text, Failure& failure) {
    const HANDLE file = CreateFileW(fromUtf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        failure = lastFailure();
        return false;
    }
    text.clear();
    char buffer[65536];
    DWORD got = 0;
    bool read = true;
    while ((read = ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0) {
        text.append(buffer, got);
    }
    if (!read) {
        failure = lastFailure();
    }
    CloseHandle(file);
    return read;
}

bool renameFile(const std::string& from, const std::string& to, Failure& failure) {
    if (!MoveFileExW(fromUtf8(from).c_str(), fromUtf8(to).c_str(), 0)) {
        failure = lastFailure();
        return false;
    }
    return true;
}

void removeFile(const std::string& path) { DeleteFileW(fromUtf8(path).c_str()); }

// The wait looks at Ctrl+C between tries, as a run does between entries.
// Where the lock is: made only where nothing holds its name, so that a link
// that leads nowhere never makes a file where it leads.
HANDLE openLock(const std::wstring& path) {
    constexpr DWORD access = GENERIC_READ | GENERIC_WRITE;
    constexpr DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE file = CreateFileW(path.c_str(), access, sharing, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND) {
        file = CreateFileW(path.c_str(), access, sharing, privateAttributes(), CREATE_NEW, FILE_FLAG_OPEN_REPARSE_POINT,
                           nullptr);
    }
    return file;
}

// Wine opens a link's target even when asked for the link itself: the
// handle is the lock's own only where the system names it as the lock, in
// its folder.
bool isOpenAs(HANDLE file, const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L'\\');
    const HANDLE folder = CreateFileW(path.substr(0, separator).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        return false;
    }
    const std::wstring expected = tocase::pathWithin(finalPathOf(folder), path.substr(separator + 1));
    CloseHandle(folder);
    const std::wstring shown = finalPathOf(file);
    return CompareStringOrdinal(shown.data(), static_cast<int>(shown.size()), expected.data(),
                                static_cast<int>(expected.size()), TRUE) == CSTR_EQUAL;
}

LockHandle holdLock(const std::string& path, const std::function<void()>& waiting, Failure& failure) {
    const std::wstring wide = fromUtf8(path);
    const HANDLE file = openLock(wide);
    if (file == INVALID_HANDLE_VALUE) {
        failure = GetLastError() == ERROR_FILE_EXISTS ? failureOf(FailureKind::isLinkLeadingNowhere) : lastFailure();
        return noLock;
    }
    // A link is opened as itself, and refused, as is anything but a plain
    // disk file of the user's own: no one else can take a run's turn away.
    BY_HANDLE_FILE_INFORMATION information;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const bool own = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &information) &&
                     (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0 &&
                     GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                                     nullptr, &descriptor) == ERROR_SUCCESS &&
                     userSid() != nullptr && EqualSid(owner, userSid()) && isOpenAs(file, wide);
    LocalFree(descriptor);
    if (!own) {
        failure = failureOf(FailureKind::notPlainOwnFile);
        CloseHandle(file);
        return noLock;
    }
    bool said = false;
    for (OVERLAPPED whole{};; Sleep(20)) {
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
            return reinterpret_cast<LockHandle>(file);
        }
        if (GetLastError() != ERROR_LOCK_VIOLATION && GetLastError() != ERROR_IO_PENDING) {
            failure = lastFailure();
            CloseHandle(file);
            return noLock;
        }
        if (!said) {
            waiting();
            said = true;
        }
        stopIfRequested();
    }
}

void releaseLock(LockHandle lock) { CloseHandle(reinterpret_cast<HANDLE>(lock)); }

unsigned long processId() { return GetCurrentProcessId(); }

}  // namespace tocase::journal_files
