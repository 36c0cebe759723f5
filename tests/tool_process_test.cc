// The built tool as a process, driven from Python: every case of the table
// in a temporary directory, and what only a whole process shows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

int runPython(const std::string& script, const std::string& arguments = "") {
    const std::string command = "TOCASE_TOOL='" TOCASE_TOOL "' '" TOCASE_PYTHON "' '" TOCASE_TESTS_DIR "/" + script +
                                "' " + arguments;
    return std::system(command.c_str());
}

TEST(ToolProcess, EveryCaseHoldsInATemporaryDirectory) {
    EXPECT_EQ(runPython("cases.py", "--tool '" TOCASE_TOOL "'"), 0);
}

TEST(ToolProcess, HoldsUpToSignalsStreamsDepthAndChangesUnderTheWalk) {
    EXPECT_EQ(runPython("process_test.py"), 0);
}

}  // namespace
