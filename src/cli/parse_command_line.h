#ifndef TOCASE_CLI_PARSE_COMMAND_LINE_H
#define TOCASE_CLI_PARSE_COMMAND_LINE_H

#include "engine/run_settings.h"
#include "platform/platform.h"

namespace tocase {

// Fills `settings` from the arguments after the program's name. Never fails
// and prints nothing: every argument is taken or silently ignored.
void parseCommandLine(RunSettings& settings, int argumentCount, const char* const* arguments,
                      const PlatformFacts& facts);

}  // namespace tocase

#endif
