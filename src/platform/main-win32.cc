#include <windows.h>

#include <string>
#include <vector>

#include "cli/tocase_main.h"
#include "platform/text-win32.h"

// The arguments arrive wide, exactly as typed. A character that the code
// page cannot hold becomes a control byte, which no file name holds and no
// option reads: a file specification holding one matches nothing, never a
// look-alike, and never counts as a wildcard.
int wmain(int argumentCount, wchar_t** wideArguments) {
    const auto platform = tocase::makeNativePlatform();
    std::vector<std::string> arguments;
    for (int i = 0; i < argumentCount; ++i) {
        bool exact = true;
        arguments.push_back(tocase::toCodePage(wideArguments[i], '\x01', &exact));
        if (!exact && i > 0) {
            platform->writeErrorLine("cannot use the argument '" + tocase::toCodePage(wideArguments[i]) +
                                     "': the active code page cannot show all its characters, "
                                     "so it matches nothing");
        }
    }
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) {
        pointers.push_back(argument.c_str());
    }
    return tocase::tocaseMain(argumentCount, pointers.data(), *platform);
}
