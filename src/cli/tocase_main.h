#ifndef TOCASE_CLI_TOCASE_MAIN_H
#define TOCASE_CLI_TOCASE_MAIN_H

#include "platform/platform.h"

namespace tocase {

// One whole run: parse, then a help text or the walk and its report.
// Returns the exit status: 1 after a run or the short help screen, 0 after
// --help or --version, 2 when an unknown long option stopped the run.
int tocaseMain(int argumentCount, const char* const* arguments, Platform& platform);

}  // namespace tocase

#endif
