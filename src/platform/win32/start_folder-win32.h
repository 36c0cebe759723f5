#ifndef TOCASE_PLATFORM_START_FOLDER_WIN32_H
#define TOCASE_PLATFORM_START_FOLDER_WIN32_H

#include "platform/failure.h"

namespace tocase {

// Wine starts a program in the Windows directory where it cannot open the
// Unix folder the program was run from (one whose name ends in a dot or a
// space, with no sibling without them). Why the program runs where it was
// not run from, naming that folder; no failure where it runs where it was run
// from, as it always does on Windows itself.
Failure whyWineStartedElsewhere();

}  // namespace tocase

#endif
