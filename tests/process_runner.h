#ifndef TOCASE_TESTS_PROCESS_RUNNER_H
#define TOCASE_TESTS_PROCESS_RUNNER_H

#include <string>
#include <vector>

namespace tocase {

struct ProcessResult {
    std::string output;  // standard output, byte for byte
    int exitStatus = -1;
};

// Runs the built tool (through its launcher, such as wine, if it has one)
// in `directory` with `arguments` and no standard input.
// With `closeOutput`, its standard output is a pipe whose reading end is
// already closed. With `userId` of 0 or more, it runs as that user.
ProcessResult runTool(const std::string& directory, const std::vector<std::string>& arguments,
                      bool closeOutput = false, int userId = -1);

// A fresh temporary directory, removed with everything in it on destruction.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Every entry below `root`, sorted, one line each: the relative path, "/"
// after directories, "-> target" after links, "= contents" after files.
std::string describeTree(const std::string& root);

void writeFile(const std::string& path, const std::string& contents);

}  // namespace tocase

#endif
