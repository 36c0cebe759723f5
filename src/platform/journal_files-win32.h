#ifndef TOCASE_PLATFORM_JOURNAL_FILES_WIN32_H
#define TOCASE_PLATFORM_JOURNAL_FILES_WIN32_H

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace tocase {

// The journals in %LOCALAPPDATA%\tocase, which is the user's own: one file
// per run, the last twenty kept.
class JournalFiles {
public:
    JournalFiles() = default;
    ~JournalFiles();
    JournalFiles(const JournalFiles&) = delete;
    JournalFiles& operator=(const JournalFiles&) = delete;

    bool create(std::string& reason);
    bool append(std::string_view text, std::string& reason);
    std::vector<std::string> untakenBack(std::string& reason);
    bool read(const std::string& name, std::string& text, std::string& reason);
    bool markTakenBack(const std::string& name, std::string& reason);

private:
    bool findDirectory(bool create, std::string& reason);
    std::vector<std::wstring> names(const wchar_t* pattern);

    std::wstring directory_;
    HANDLE journal_ = INVALID_HANDLE_VALUE;
};

}  // namespace tocase

#endif
