#ifndef TOCASE_TESTS_TOOL_FIXTURE_H
#define TOCASE_TESTS_TOOL_FIXTURE_H

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "process_runner.h"

namespace tocase {

// Joins lines with the CR LF line end the tool writes.
inline std::string crlfLines(std::initializer_list<std::string> texts) {
    std::string out;
    for (const std::string& text : texts) out += text + "\r\n";
    return out;
}

// A test that runs the built tool in a directory it fills first and checks
// afterwards. `Base` is testing::Test or a parameterized test.
template <typename Base>
class ToolFixture : public Base {
protected:
    virtual const std::string& root() const = 0;

    std::string path(const std::string& relative) const { return root() + "/" + relative; }
    void file(const std::string& relative, const std::string& contents = "x") {
        writeFile(path(relative), contents);
    }
    void directory(const std::string& relative) { ASSERT_EQ(mkdir(path(relative).c_str(), 0755), 0); }
    // Standard output of one run, which must end with status 1.
    std::string run(const std::vector<std::string>& arguments) {
        const ProcessResult result = runTool(root(), arguments);
        EXPECT_EQ(result.exitStatus, 1);
        return result.output;
    }
    std::string tree() const { return describeTree(root()); }
};

// The tool in a fresh temporary directory.
class InTemporaryDirectory : public ToolFixture<testing::Test> {
protected:
    const std::string& root() const override { return dir_.path(); }
    TemporaryDirectory dir_;
};

}  // namespace tocase

#endif
