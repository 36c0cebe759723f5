#ifndef TOCASE_PLATFORM_CONSOLE_H
#define TOCASE_PLATFORM_CONSOLE_H

#include <string>
#include <string_view>

namespace tocase {

// Standard output a line at a time, and standard error. Standard output
// that fails for good takes nothing more, so that a run never looks
// complete while lines are missing; the run itself goes on. Each system
// writes in its own file (console-posix.cc, console-win32.cc).
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
