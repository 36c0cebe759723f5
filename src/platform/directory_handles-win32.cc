#include "platform/directory_handles-win32.h"

#include "platform/reasons.h"

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

// What the user typed is opened as given, links and all.
bool DirectoryHandles::openFirst(const std::wstring& path, std::string& reason) {
    closeAll();
    Level first;
    first.handle = CreateFileW(path.c_str(), directoryAccess | SYNCHRONIZE, withoutDeleteSharing, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (first.handle == INVALID_HANDLE_VALUE) {
        reason = reasonText(GetLastError());
        return false;
    }
    if (!identify(first.handle, first.identity) || (first.identity.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        reason = reasonText(ERROR_DIRECTORY);
        CloseHandle(first.handle);
        return false;
    }
    levels_.push_back(std::move(first));
    return true;
}

// A reparse point is passed by; so is a link that the system follows
// anyway, which shows as a path other than the one asked for.
EnterResult DirectoryHandles::openChild(const std::wstring& name, std::string& reason) {
    Level child;
    NTSTATUS status = 0;
    child.handle = openRelative(current(), name, directoryAccess, withoutDeleteSharing, FILE_DIRECTORY_FILE, status);
    if (child.handle == nullptr) {
        reason = reasonOfStatus(status);
        return EnterResult::failed;
    }
    child.name = name;
    const bool isLink = !identify(child.handle, child.identity) ||
                        (child.identity.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
                        finalPathOf(child.handle) != pathWithin(finalPathOf(current()), name);
    if (isLink) {
        CloseHandle(child.handle);
        return EnterResult::link;
    }
    levels_.push_back(std::move(child));
    return EnterResult::entered;
}

void DirectoryHandles::closeCurrent() {
    CloseHandle(levels_.back().handle);
    levels_.pop_back();
}

bool DirectoryHandles::currentIsStillInItsParent(std::string& reason) const {
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
        reason = movedElsewhereReason;
    }
    return inPlace;
}

}  // namespace tocase
