#ifndef TOCASE_PLATFORM_CONSOLE_WIN32_H
#define TOCASE_PLATFORM_CONSOLE_WIN32_H

#include <windows.h>

#include <string>
#include <string_view>

namespace tocase {

// Standard output a line at a time, and standard error. Lines are in the
// active code page: a console gets their characters, whatever its own
// code page, a file or a pipe their bytes. Standard output that fails for
// good takes nothing more; the run itself goes on.
class Console {
public:
    void write(std::string_view bytes) { pendingLine_ += bytes; }
    void endLine();
    void errorLine(std::string_view text);

private:
    struct Stream {
        HANDLE handle;
        bool isConsole;
        explicit Stream(DWORD which);
        bool writeAll(std::string_view bytes) const;
    };
    Stream output_{STD_OUTPUT_HANDLE};
    Stream errors_{STD_ERROR_HANDLE};
    std::string pendingLine_;
    bool outputFailed_ = false;
};

}  // namespace tocase

#endif
