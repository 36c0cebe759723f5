#ifndef TOCASE_CLI_PARSE_COMMAND_LINE_H
#define TOCASE_CLI_PARSE_COMMAND_LINE_H

#include <string>
#include <vector>

#include "engine/run_settings.h"
#include "platform/platform_facts.h"

namespace tocase {

// An argument taken neither as an option nor as the file specification.
struct UnusedArgument {
    std::string argument;
    bool looksLikeOption = false;  // otherwise a file specification after the first
};

// Fills `settings` from the arguments after the program's name, and
// `unused` with those it leaves. Never fails and prints nothing.
void parseCommandLine(RunSettings& settings, int argumentCount, const char* const* arguments,
                      const PlatformFacts& facts, std::vector<UnusedArgument>& unused);

}  // namespace tocase

#endif
