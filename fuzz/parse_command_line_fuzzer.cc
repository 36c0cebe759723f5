// Whole argument lists, NUL-separated, through the parser on both kinds of
// platform.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/parse_command_line.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> arguments = {"tocase"};
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\0', start)) != std::string::npos; start = end + 1) {
        arguments.push_back(text.substr(start, end - start));
    }
    arguments.push_back(text.substr(start));
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) pointers.push_back(argument.c_str());

    for (const bool posix : {false, true}) {
        tocase::PlatformFacts facts;
        facts.slashMayBeginPath = posix;
        tocase::RunSettings settings;
        std::vector<tocase::UnusedArgument> unused;
        tocase::parseCommandLine(settings, static_cast<int>(pointers.size()), pointers.data(), facts, unused);
        // The file specification is one whole argument, never a part of one.
        if (!settings.fileSpec.empty()) {
            bool isArgument = false;
            for (std::size_t i = 1; i < arguments.size(); ++i) isArgument |= arguments[i] == settings.fileSpec;
            check(isArgument);
            check(posix || (settings.fileSpec[0] != '-' && settings.fileSpec[0] != '/'));
        }
    }
    return 0;
}
