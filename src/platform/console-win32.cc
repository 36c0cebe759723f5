#include "platform/console-win32.h"

#include "platform/text-win32.h"

namespace tocase {

Console::Stream::Stream(DWORD which) : handle(GetStdHandle(which)) {
    DWORD mode = 0;
    isConsole = GetConsoleMode(handle, &mode) != 0;
}

// Written as bytes, never through a text-mode stream: CR LF, not CR CR LF.
bool Console::Stream::writeAll(std::string_view bytes) const {
    if (isConsole) {
        const std::wstring characters = fromCodePage(bytes);
        DWORD written = 0;
        return WriteConsoleW(handle, characters.data(), static_cast<DWORD>(characters.size()), &written, nullptr) != 0;
    }
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

void Console::endLine() {
    pendingLine_ += "\r\n";
    if (!outputFailed_) {
        outputFailed_ = !output_.writeAll(pendingLine_);
    }
    pendingLine_.clear();
}

void Console::errorLine(std::string_view text) {
    std::string line = "tocase: ";
    line.append(text).append("\r\n");
    errors_.writeAll(line);
}

}  // namespace tocase
