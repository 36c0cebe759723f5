#ifndef TOCASE_CLI_TOCASE_MAIN_H
#define TOCASE_CLI_TOCASE_MAIN_H

#include "platform/platform.h"

namespace tocase {

// One whole run: parse, then the help screen or the walk and its report.
// Returns the exit status, which is 1 on every path.
int tocaseMain(int argumentCount, const char* const* arguments, Platform& platform);

}  // namespace tocase

#endif
