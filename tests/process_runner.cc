#include "process_runner.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tocase {
namespace {

int exitStatusOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status); }

}  // namespace

ToolProcess::ToolProcess(const std::string& directory, const std::vector<std::string>& arguments,
                         const ToolOptions& options) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    errors_ = std::tmpfile();
    std::vector<std::string> words;
    if (!std::string(TOCASE_LAUNCHER).empty()) words.push_back(TOCASE_LAUNCHER);
    words.push_back(TOCASE_BINARY);
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    if (options.closeOutput) close(pipeFds[0]);

    child_ = fork();
    if (child_ == 0) {
        // As a shell starts a command in the foreground, whatever this
        // process was started with: stop signals neither ignored nor blocked.
        for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) signal(number, SIG_DFL);
        if (options.ignoreHangUp) signal(SIGHUP, SIG_IGN);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (options.closeInput) close(STDIN_FILENO);
        else dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
        dup2(pipeFds[1], STDOUT_FILENO);
        dup2(fileno(errors_), STDERR_FILENO);
        const rlimit files{static_cast<rlim_t>(options.openFileLimit),
                           static_cast<rlim_t>(options.openFileLimit)};
        if (options.openFileLimit >= 0 && setrlimit(RLIMIT_NOFILE, &files) != 0) _exit(124);
        const auto id = static_cast<uid_t>(options.userId);
        if (options.userId >= 0 && (setgroups(0, nullptr) != 0 || setgid(id) != 0 || setuid(id) != 0)) {
            _exit(125);
        }
        if (chdir(directory.c_str()) != 0) _exit(126);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    outputFd_ = options.closeOutput ? -1 : pipeFds[0];
}

ToolProcess::~ToolProcess() {
    if (child_ > 0) finish();
    if (errors_ != nullptr) std::fclose(errors_);
}

std::string ToolProcess::readLine() {
    std::string line;
    char c;
    while (outputFd_ >= 0 && read(outputFd_, &c, 1) == 1) {
        line += c;
        if (c == '\n') break;
    }
    return line;
}

std::string ToolProcess::readRest() {
    std::string rest;
    char buffer[65536];
    ssize_t got;
    while (outputFd_ >= 0 && (got = read(outputFd_, buffer, sizeof buffer)) > 0) {
        rest.append(buffer, static_cast<std::size_t>(got));
    }
    return rest;
}

// Lines do not fill the pipe's pages to the last byte: full is within a
// page of the capacity, and no longer growing.
void ToolProcess::waitUntilOutputIsFull() {
    const int nearlyFull = fcntl(outputFd_, F_GETPIPE_SZ) - 4096;
    for (int held = 0, before = -1, waited = 0; waited < 1000; ++waited, usleep(10000)) {
        if (ioctl(outputFd_, FIONREAD, &held) == 0 && held > nearlyFull && held == before) return;
        before = held;
    }
    throw std::runtime_error("the output never filled");
}

void ToolProcess::sendSignal(int number) { kill(child_, number); }

int ToolProcess::waitWithoutReading(int seconds) {
    for (int waited = 0, status = 0; waited < seconds * 100; ++waited, usleep(10000)) {
        if (waitpid(child_, &status, WNOHANG) == child_) {
            child_ = -1;
            return exitStatusOf(status);
        }
    }
    kill(child_, SIGKILL);
    return 0;
}

ToolOutput ToolProcess::finish() {
    ToolOutput result;
    result.output = readRest();
    if (outputFd_ >= 0) close(outputFd_);
    outputFd_ = -1;
    int status = 0;
    waitpid(child_, &status, 0);
    child_ = -1;
    result.exitStatus = exitStatusOf(status);
    std::rewind(errors_);
    for (int c; (c = std::fgetc(errors_)) != EOF;) result.errors += static_cast<char>(c);
    return result;
}

ToolOutput runTool(const std::string& directory, const std::vector<std::string>& arguments,
                   const ToolOptions& options) {
    return ToolProcess(directory, arguments, options).finish();
}

TemporaryDirectory::TemporaryDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tocase-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
    path_ = pattern;
}

// rm goes deeper than any path can reach.
TemporaryDirectory::~TemporaryDirectory() {
    [[maybe_unused]] const int ignored = std::system(("rm -rf '" + path_ + "'").c_str());
}

std::vector<std::string> describeTree(const std::string& root) {
    namespace fs = std::filesystem;
    std::vector<std::string> entries;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const fs::path& path = it->path();
        std::string entry = path.lexically_relative(root).string();
        const fs::file_status status = fs::symlink_status(path);
        if (fs::is_symlink(status)) {
            entry += "->" + fs::read_symlink(path).string();
        } else if (fs::is_directory(status)) {
            entry += "/";
        } else {
            std::ostringstream contents;
            contents << std::ifstream(path, std::ios::binary).rdbuf();
            if (contents.str() != path.filename().string()) entry += "<" + contents.str();
        }
        entries.push_back(entry);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

void writeFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary);
    out << contents;
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace tocase
