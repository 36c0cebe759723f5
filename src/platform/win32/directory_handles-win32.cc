#include "platform/win32/directory_handles-win32.h"

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
    first.path = finalPathOf(first.handle);
    levels_.push_back(std::move(first));
    return true;
}

// A reparse point is passed by. What is opened must be the very folder
// listed: where a link took its place since, a system that follows it
// anyway (Wine) opens another one.
EnterResult DirectoryHandles::openChild(const std::wstring& name, std::optional<std::uint64_t> listedId,
                                        std::string& reason) {
    if (holdsSeparator(name) || holdsReplacement(name)) {
        reason = holdsSeparator(name) ? separatorReason : unreadableNameReason;
        return EnterResult::refused;
    }
    Level child;
    NTSTATUS status = 0;
    child.handle = openRelative(current(), name, directoryAccess, withoutDeleteSharing, FILE_DIRECTORY_FILE, status);
    if (child.handle == nullptr) {
        reason = reasonOfStatus(status);
        return EnterResult::failed;
    }
    child.name = name;
    child.path = pathWithin(currentPath(), name);
    EnterResult result = EnterResult::entered;
    if (!identify(child.handle, child.identity)) {
        reason = reasonText(GetLastError());
        result = EnterResult::failed;
    } else if ((child.identity.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        result = EnterResult::link;
    } else if (listedId && child.identity.index != *listedId) {
        reason = notAsListedReason;
        result = EnterResult::refused;
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
