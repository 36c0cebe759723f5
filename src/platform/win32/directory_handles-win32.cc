#include "platform/win32/directory_handles-win32.h"

#include <algorithm>

#include "platform/failure.h"
#include "platform/win32/text-win32.h"

namespace tocase {
namespace {

constexpr ACCESS_MASK directoryAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES;
constexpr ULONG withoutDeleteSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

}  // namespace

DirectoryHandles::~DirectoryHandles() { closeAll(); }

void DirectoryHandles::closeAll() {
    while (!levels_.empty()) {
        closeCurrent();
    }
}

// What the user typed is opened as given, links and all; `path` is in the
// system's own form (\??\...), whose names are taken exactly.
EnterResult DirectoryHandles::openFirst(const std::wstring& path, Failure& failure) {
    closeAll();
    Level first;
    const std::wstring typed = L"\\\\?\\" + path.substr(4);
    first.handle = CreateFileW(typed.c_str(), directoryAccess | SYNCHRONIZE, withoutDeleteSharing, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (first.handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        failure = systemFailure(error);
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? EnterResult::missing
                                                                              : EnterResult::failed;
    }
    if (!identify(first.handle, first.identity) || (first.identity.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        failure = systemFailure(ERROR_DIRECTORY);
        CloseHandle(first.handle);
        return EnterResult::missing;
    }
    first.path = path;
    levels_.push_back(std::move(first));
    return EnterResult::entered;
}

// A reparse point is passed by, unless a volume is mounted there. What is
// opened must be the very folder listed: where a link took its place since,
// a system that follows it anyway (Wine) opens another one. A folder of
// another volume, or where Wine's Unix mounted anything, is not entered.
EnterResult DirectoryHandles::openChild(const std::wstring& name, std::optional<std::uint64_t> listedId,
                                        Failure& failure) {
    if (holdsSeparator(name) || holdsReplacement(name)) {
        failure = failureOf(holdsSeparator(name) ? FailureKind::separatorInName : FailureKind::unreadableName);
        return EnterResult::refused;
    }
    Level child;
    NTSTATUS status = 0;
    child.handle = openRelative(current(), name, directoryAccess, withoutDeleteSharing, FILE_DIRECTORY_FILE, status);
    // Wine opens relative to a folder by its Unix path, and names what it
    // opened by the path it took: neither goes beyond the longest path Unix
    // takes.
    const std::wstring parentShown = finalPathOf(current());
    if (child.handle == nullptr && status == statusObjectNameInvalid) {
        failure = failureOf(FailureKind::refusedName);
        return EnterResult::refused;
    }
    if (child.handle == nullptr) {
        const bool tooDeep = parentShown.empty() || (isWine() && status == statusInvalidHandle);
        failure = tooDeep ? failureOf(FailureKind::pathTooDeep) : failureOfStatus(status);
        const bool missing = status == statusObjectNameNotFound || status == statusObjectPathNotFound;
        return !tooDeep && missing ? EnterResult::missing : EnterResult::failed;
    }
    child.name = name;
    child.path = pathWithin(currentPath(), name);
    const Level& parent = levels_.back();
    const std::wstring shown = finalPathOf(child.handle);
    EnterResult result = EnterResult::refused;
    if (!identify(child.handle, child.identity)) {
        // Wine asks for the volume by the Unix path too.
        failure = shown.empty() ? failureOf(FailureKind::pathTooDeep) : systemFailure(GetLastError());
        result = EnterResult::failed;
    } else if ((child.identity.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        result = isMountedVolume(child.handle) ? EnterResult::refused : EnterResult::link;
        failure = failureOf(FailureKind::anotherFileSystem);
    } else if (listedId && child.identity.index != *listedId) {
        failure = failureOf(FailureKind::notAsListed);
    } else if (child.identity.volume != parent.identity.volume ||
               (isWine() && isUnixMountPoint(parent.identity, name))) {
        failure = failureOf(FailureKind::anotherFileSystem);
    } else if (shown.empty()) {
        failure = failureOf(FailureKind::pathTooDeep);
        result = EnterResult::failed;
    } else if (!samePathButTrailingDots(shown, pathWithin(parentShown, name))) {
        // Wine renames by the name it gave what it opened, the path it took
        // at that instant: one that led elsewhere is of no use.
        failure = failureOf(FailureKind::movedElsewhere);
    } else {
        result = EnterResult::entered;
    }
    if (result != EnterResult::entered) {
        CloseHandle(child.handle);
        return result;
    }
    levels_.push_back(std::move(child));
    return EnterResult::entered;
}

void DirectoryHandles::closeCurrent() {
    CloseHandle(levels_.back().handle);
    levels_.pop_back();
}

bool DirectoryHandles::currentIsStillInItsParent(Failure& failure) const {
    if (levels_.size() < 2) {
        return true;
    }
    const Level& current = levels_.back();
    NTSTATUS status = 0;
    const HANDLE found = openRelative(levels_[levels_.size() - 2].handle, current.name, FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0, status);
    FileIdentity identity;
    const bool inPlace = found != nullptr && identify(found, identity) && identity == current.identity;
    if (found != nullptr) {
        CloseHandle(found);
    }
    if (!inPlace) {
        failure = failureOf(FailureKind::movedElsewhere);
    }
    return inPlace;
}

}  // namespace tocase
