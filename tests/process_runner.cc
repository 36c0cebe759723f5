#include "process_runner.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

namespace tocase {

ProcessResult runTool(const std::string& directory, const std::vector<std::string>& arguments,
                      bool closeOutput, int userId) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    std::vector<char*> argv;
    std::string launcher = TOCASE_LAUNCHER;
    std::string program = TOCASE_BINARY;
    if (!launcher.empty()) argv.push_back(launcher.data());
    argv.push_back(program.data());
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);
    if (closeOutput) close(pipeFds[0]);

    const pid_t child = fork();
    if (child == 0) {
        const int nullFd = open("/dev/null", O_RDONLY);
        dup2(nullFd, STDIN_FILENO);
        dup2(pipeFds[1], STDOUT_FILENO);
        if (userId >= 0 && (setgroups(0, nullptr) != 0 || setgid(static_cast<gid_t>(userId)) != 0 ||
                            setuid(static_cast<uid_t>(userId)) != 0)) {
            _exit(125);
        }
        if (chdir(directory.c_str()) != 0) _exit(126);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    ProcessResult result;
    if (!closeOutput) {
        char buffer[65536];
        ssize_t got;
        while ((got = read(pipeFds[0], buffer, sizeof buffer)) > 0) {
            result.output.append(buffer, static_cast<std::size_t>(got));
        }
        close(pipeFds[0]);
    }
    int status = 0;
    waitpid(child, &status, 0);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

TemporaryDirectory::TemporaryDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tocase-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
    path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string describeTree(const std::string& root) {
    namespace fs = std::filesystem;
    std::set<std::string> lines;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const fs::path& path = it->path();
        std::string line = path.lexically_relative(root).string();
        const fs::file_status status = fs::symlink_status(path);
        if (fs::is_symlink(status)) {
            line += " -> " + fs::read_symlink(path).string();
        } else if (fs::is_directory(status)) {
            line += "/";
        } else {
            std::ifstream in(path, std::ios::binary);
            std::ostringstream contents;
            contents << in.rdbuf();
            line += " = " + contents.str();
        }
        lines.insert(line);
    }
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out;
}

void writeFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary);
    out << contents;
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace tocase
