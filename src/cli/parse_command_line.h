#ifndef TOCASE_CLI_PARSE_COMMAND_LINE_H
#define TOCASE_CLI_PARSE_COMMAND_LINE_H

#include <string>
#include <vector>

#include "engine/run_settings.h"
#include "platform/platform_facts.h"

namespace tocase {

// Why an argument was taken neither as an option nor as the
// file specification.
enum class Unused {
    unknownOption,      // one letter after / or - that means nothing, or a / word: said, and the run goes on
    unknownLongOption,  // --word that is no long option: stops the run
    unknownDashWord,    // -word that is neither a bundle of letters nor a long name: stops the run
    lookAlikeDash,      // begins with a dash that is not '-', as pasted from a page: stops the run
    extraFileSpec,      // a file specification after the first
};

// Whether an argument so left stops the run before anything is renamed:
// what it asked for may have been to rename less, or nothing.
constexpr bool stopsTheRun(Unused why) {
    return why == Unused::unknownLongOption || why == Unused::unknownDashWord || why == Unused::lookAlikeDash;
}

struct UnusedArgument {
    std::string argument;
    Unused why = Unused::unknownOption;
};

// What the command line asks beyond the settings of a run.
struct CommandLine {
    bool longHelp = false;  // --help
    bool version = false;   // --version
    std::vector<UnusedArgument> unused;
};

// Fills `settings` from the arguments after the program's name, and
// `commandLine` with the rest. Never fails and prints nothing.
void parseCommandLine(RunSettings& settings, int argumentCount, const char* const* arguments,
                      const PlatformFacts& facts, CommandLine& commandLine);

}  // namespace tocase

#endif
