#ifndef TOCASE_PLATFORM_JOURNAL_FILES_H
#define TOCASE_PLATFORM_JOURNAL_FILES_H

#include <string>
#include <string_view>
#include <vector>

namespace tocase {

// The journals, one file per run that no one else can read, the last
// twenty kept, in a directory of the user's own: $XDG_STATE_HOME/tocase (by
// default ~/.local/state/tocase) on POSIX, %LOCALAPPDATA%\tocase on
// Windows. Each system's file (journal_files-posix.cc, -win32.cc) keeps
// them its own way.
class JournalFiles {
public:
    bool create(std::string& reason);
    bool append(std::string_view text, std::string& reason);
    std::vector<std::string> untakenBack(std::string& reason);
    bool read(const std::string& name, std::string& text, std::string& reason);
    bool markTakenBack(const std::string& name, std::string& reason);

private:
    bool findDirectory(bool create, std::string& reason);
    std::string pathOf(std::string_view name) const;
    std::vector<std::string> names(bool takenBackToo);

    std::string directory_;  // in UTF-8
    std::string journal_;    // this run's
    bool missing_ = false;   // no journal has been kept yet
};

}  // namespace tocase

#endif
