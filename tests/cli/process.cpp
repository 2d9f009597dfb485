#include "cli/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace tarnwell::testing {

std::vector<std::string> ProcessResult::outLines() const {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < out.size()) {
        const auto end = out.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(out.substr(start));
            break;
        }
        lines.push_back(out.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string programPath(const std::string& name) {
    if (const char* bin = std::getenv("TARNWELL_BIN"); bin && *bin)
        return (std::filesystem::path(bin) / name).string();
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / name).string();
}

ProcessResult runProgram(const std::string& name, const std::vector<std::string>& arguments,
                         const std::string& workingFolder,
                         const std::function<bool(const std::string&)>& whileRunning) {
    const std::string path = programPath(name);
    int outPipe[2], errPipe[2];
    if (::pipe(outPipe) != 0 || ::pipe(errPipe) != 0) throw std::runtime_error("pipe failed");
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(errPipe[1], STDERR_FILENO);
        const int devNull = ::open("/dev/null", O_RDONLY);
        ::dup2(devNull, STDIN_FILENO);
        for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1], devNull}) ::close(fd);
        if (!workingFolder.empty() && ::chdir(workingFolder.c_str()) != 0) ::_exit(126);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(path.c_str()));
        for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(path.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);

    ProcessResult result;
    bool interrupted = false;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    char buffer[65536];
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
                continue;
            }
            (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
            if (i == 0 && whileRunning && !interrupted && whileRunning(result.out)) {
                ::kill(pid, SIGINT);
                interrupted = true;
            }
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

}  // namespace tarnwell::testing
