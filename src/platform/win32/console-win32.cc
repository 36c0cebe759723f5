#include "platform/console.h"

#include <windows.h>

#include "platform/win32/text-win32.h"

namespace tocase {
namespace {

// Lines are UTF-8: a console gets their characters, whatever its own code
// page, a file or a pipe their bytes in the active code page.
struct Stream {
    HANDLE handle;
    bool isConsole;
    explicit Stream(DWORD which) : handle(GetStdHandle(which)) {
        DWORD mode = 0;
        isConsole = GetConsoleMode(handle, &mode) != 0;
    }
    bool writeAll(std::string_view bytes) const;
};

const Stream& output() {
    static const Stream stream{STD_OUTPUT_HANDLE};
    return stream;
}

const Stream& errors() {
    static const Stream stream{STD_ERROR_HANDLE};
    return stream;
}

// Written as bytes, never through a text-mode stream: CR LF, not CR CR LF.
bool Stream::writeAll(std::string_view bytes) const {
    if (isConsole) {
        const std::wstring characters = fromUtf8(bytes);
        DWORD written = 0;
        return WriteConsoleW(handle, characters.data(), static_cast<DWORD>(characters.size()), &written, nullptr) != 0;
    }
    const std::string converted = toCodePage(bytes);
    bytes = converted;
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

}  // namespace

const std::string_view errorLineEnd = "\r\n";

bool writeStandardOutput(std::string_view bytes) { return output().writeAll(bytes); }

void writeStandardError(std::string_view bytes) { errors().writeAll(bytes); }

}  // namespace tocase
