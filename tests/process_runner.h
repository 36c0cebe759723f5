#ifndef TOCASE_TESTS_PROCESS_RUNNER_H
#define TOCASE_TESTS_PROCESS_RUNNER_H

#include <sys/types.h>

#include <cstdio>
#include <string>
#include <vector>

namespace tocase {

struct ToolOptions {
    bool closeInput = false;   // no standard input at all
    bool closeOutput = false;  // standard output is a pipe nobody reads
    int userId = -1;           // run as this user (and group) when 0 or more
    int openFileLimit = -1;    // RLIMIT_NOFILE, soft and hard, when 0 or more
    bool ignoreHangUp = false; // started as nohup starts a command
};

// What one run of the tool printed and how it ended.
struct ToolOutput {
    std::string output;  // standard output, byte for byte
    std::string errors;  // standard error
    // Or minus the signal that ended it, never to be taken for an exit
    // with 128 + its number.
    int exitStatus = -1;
};

// The built tool (through its launcher, such as wine, if it has one)
// running in `directory` with no standard input.
class ToolProcess {
public:
    ToolProcess(const std::string& directory, const std::vector<std::string>& arguments,
                const ToolOptions& options = {});
    ~ToolProcess();
    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;

    // Standard output up to and including the next LF; empty at its end.
    std::string readLine();
    std::string readRest();
    // Returns once nobody could write to standard output without waiting
    // for it to be read.
    void waitUntilOutputIsFull();
    void sendSignal(int number);
    // Waits for the end without reading anything; the exit status as in
    // ToolOutput, or 0, which the tool never exits with, when it has not
    // ended within `seconds`.
    int waitWithoutReading(int seconds);
    // Waits for the end and returns what was printed that was not read.
    ToolOutput finish();

private:
    pid_t child_ = -1;
    int outputFd_ = -1;
    std::FILE* errors_ = nullptr;
};

ToolOutput runTool(const std::string& directory, const std::vector<std::string>& arguments,
                   const ToolOptions& options = {});

// A fresh temporary directory, removed with everything in it, however
// deep, on destruction.
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

// Every entry below `root`, sorted, one each: the relative path, then "/"
// after a directory, "->target" after a link, "<contents" after a file
// whose contents differ from its name.
std::vector<std::string> describeTree(const std::string& root);

void writeFile(const std::string& path, const std::string& contents);

}  // namespace tocase

#endif
