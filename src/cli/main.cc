#include <string>
#include <vector>

#include "cli/tocase_main.h"

// The program's one entry on every system: the platform reads the command
// line as the system hands it over; everything else is the library's.
int main(int argumentCount, char** arguments) {
    tocase::Platform platform;
    const std::vector<std::string> commandLine = platform.commandLine(argumentCount, arguments);
    std::vector<const char*> pointers;
    for (const std::string& argument : commandLine) {
        pointers.push_back(argument.c_str());
    }
    return tocase::tocaseMain(static_cast<int>(pointers.size()), pointers.data(), platform);
}
