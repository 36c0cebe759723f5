#include "cli/report.h"

#include <gtest/gtest.h>

namespace tocase {
namespace {

// The title's bytes are fixed; the version in them is the build's.
TEST(HelpScreen, TitleNamesTheVersionTheBuildDeclares) {
    EXPECT_TRUE(helpScreenLines().front().starts_with("TOCASE v" TOCASE_VERSION " for Win32"))
        << helpScreenLines().front() << " against version " << TOCASE_VERSION;
}

}  // namespace
}  // namespace tocase
