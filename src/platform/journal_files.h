#ifndef TOCASE_PLATFORM_JOURNAL_FILES_H
#define TOCASE_PLATFORM_JOURNAL_FILES_H

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/failure.h"

// The files the journals are kept in, as each system keeps them
// (journal_files-posix.cc, journal_files-win32.cc); the rules they are kept
// by, their names, how many and who may read them, are the journal store's.
// Paths are UTF-8. Failures come with their kind.
namespace tocase::journal_files {

// The directory the tool keeps its journals in, under the user's own state
// directory; empty, with the failure, where there is none.
std::string directoryPath(Failure& failure);
std::string pathWithin(const std::string& directory, std::string_view name);
// Makes each missing directory on the way, for the user alone.
bool makeDirectories(const std::string& path, Failure& failure);
// Whether it is a directory of the user's own in which no one else may
// make, rename or remove a file; `missing` when it does not exist.
bool isPrivateDirectory(const std::string& path, bool& missing, Failure& failure);
// The names of the plain files in the directory: no link, no directory.
std::vector<std::string> fileNames(const std::string& directory);
// Whether it is a plain file of the user's own that no one else may read or
// write; the failure when not.
bool isPrivateFile(const std::string& path, Failure& failure);
// Makes a file that did not exist, readable by the user alone, holding `text`
// whole, or nothing at all.
bool writeNewFile(const std::string& path, std::string_view text, Failure& failure);
bool appendToFile(const std::string& path, std::string_view text, Failure& failure);
bool readFile(const std::string& path, std::string& text, Failure& failure);
// Within one directory, never replacing a file.
bool renameFile(const std::string& from, const std::string& to, Failure& failure);
void removeFile(const std::string& path);
// A lock held: a descriptor on POSIX, a handle on Windows.
using LockHandle = std::intptr_t;
inline constexpr LockHandle noLock = -1;
// Holds the lock file at `path` until released or the process ends,
// waiting for as long as another holds it (after calling `waiting` once);
// a stop signal ends the wait as it ends a run. noLock where it cannot.
LockHandle holdLock(const std::string& path, const std::function<void()>& waiting, Failure& failure);
void releaseLock(LockHandle lock);
unsigned long processId();

}  // namespace tocase::journal_files

#endif
