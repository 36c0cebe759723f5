#ifndef TOCASE_PLATFORM_JOURNAL_FILES_POSIX_H
#define TOCASE_PLATFORM_JOURNAL_FILES_POSIX_H

#include <string>
#include <string_view>
#include <vector>

namespace tocase {

// The journals in $XDG_STATE_HOME/tocase (by default ~/.local/state/tocase):
// a directory of the user's own that no one else can write, one file per
// run that no one else can read, the last twenty kept.
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

    std::string directory_;
    std::string journal_;   // this run's
    bool missing_ = false;  // no journal has been kept yet
};

}  // namespace tocase

#endif
