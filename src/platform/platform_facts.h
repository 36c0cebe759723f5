#ifndef TOCASE_PLATFORM_PLATFORM_FACTS_H
#define TOCASE_PLATFORM_PLATFORM_FACTS_H

#include <string_view>

namespace tocase {

// The few facts about the operating system that the command line, the split
// of a file specification and the journal's names need. Names and typed
// texts are UTF-8 on every system, exactly as the system holds them: bytes
// on POSIX, UTF-16 on Windows with a surrogate without its pair encoded as
// UTF-8 encodes any other code point.
struct PlatformFacts {
    bool hasDriveLetters = false;
    // An argument such as /home/me/*.TXT is a path, not an option.
    bool slashMayBeginPath = false;
    // The shell expands an unquoted wildcard before the tool sees it.
    bool shellExpandsWildcards = false;
    // Names are UTF-16 underneath: `?` takes a whole character, a surrogate
    // without its pair among them.
    bool namesAreUtf16 = false;
    // What the system reads as a separator inside a stored name: a name
    // holding one is a path, never a plain name.
    std::string_view nameSeparators = "/";
};

}  // namespace tocase

#endif
