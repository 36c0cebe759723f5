#ifndef TOCASE_PLATFORM_CONSOLE_POSIX_H
#define TOCASE_PLATFORM_CONSOLE_POSIX_H

#include <string>
#include <string_view>

namespace tocase {

// Standard output a line at a time, and standard error. A write that would
// block waits for the reader; after a stop signal it waits at most a
// second, so that a reader that never comes cannot hold the stop up.
// Standard output that fails for good takes nothing more, so that a run
// never looks complete while lines are missing; the run itself goes on.
class Console {
public:
    void write(std::string_view bytes) { pendingLine_ += bytes; }
    void endLine();
    void errorLine(std::string_view text);

private:
    std::string pendingLine_;
    bool outputFailed_ = false;
};

}  // namespace tocase

#endif
