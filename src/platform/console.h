#ifndef TOCASE_PLATFORM_CONSOLE_H
#define TOCASE_PLATFORM_CONSOLE_H

#include <string>
#include <string_view>

namespace tocase {

// Standard output a line at a time, each ended by CR LF, and standard error.
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

// What each system's console file gives the policy above: the whole of a
// text of UTF-8 written as the stream wants it, false once it failed for
// good; and the line end of standard error, which a person reads.
bool writeStandardOutput(std::string_view bytes);
void writeStandardError(std::string_view bytes);
extern const std::string_view errorLineEnd;

}  // namespace tocase

#endif
