#include "jobs/mkvmerge_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "io/file_io.h"

namespace tarnwell {

std::string findOnPath(std::string_view program) {
    const char* path = std::getenv("PATH");
    std::string_view folders = path ? path : "";
    while (true) {
        const auto end = folders.find(':');
        std::string folder(folders.substr(0, end));
        if (folder.empty()) folder = ".";
        const std::string candidate = folder + "/" + std::string(program);
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (end == std::string_view::npos) return {};
        folders.remove_prefix(end + 1);
    }
}

namespace {

// mkvmerge's output, line by line; its progress lines end with a carriage return.
class OutputLines {
  public:
    OutputLines(ReportSink& sink) : sink_(sink) {}
    void add(const char* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            if (data[i] == '\r' || data[i] == '\n')
                line();
            else
                current_ += data[i];
        }
    }
    void line() {
        if (current_.empty()) return;
        if (current_.rfind("Progress: ", 0) == 0) {
            sink_.slog("mkvmerge " + current_.substr(10), 1);
        } else if (current_.rfind("Warning:", 0) == 0) {
            sink_.log("mkvmerge: " + current_);
        } else if (current_.rfind("Error:", 0) == 0) {
            error_ = current_;
        }
        last_ = current_;
        current_.clear();
    }
    const std::string& last() const { return last_; }
    const std::string& error() const { return error_.empty() ? last_ : error_; }

  private:
    ReportSink& sink_;
    std::string current_;
    std::string last_;
    std::string error_;
};

}  // namespace

void runMkvmerge(const std::string& mkvmerge, const std::string& optionFile, EngineState& state,
                 ReportSink& sink, Host& host) {
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        throw ToolError("mkvmerge: " + std::string(std::strerror(errno)));
    const std::string argument = "@" + fullPath(optionFile);
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        throw ToolError("mkvmerge: " + std::string(std::strerror(errno)));
    }
    if (child == 0) {
        ::dup2(pipeEnds[1], STDOUT_FILENO);
        ::dup2(pipeEnds[1], STDERR_FILENO);
        const int devNull = ::open("/dev/null", O_RDONLY);
        if (devNull >= 0) ::dup2(devNull, STDIN_FILENO);
        // Its lines are read by their English words, whatever the user's language.
        char* const args[] = {const_cast<char*>("mkvmerge"), const_cast<char*>("--ui-language"),
                              const_cast<char*>("en_US"), const_cast<char*>(argument.c_str()),
                              nullptr};
        ::execv(mkvmerge.c_str(), args);
        ::_exit(127);
    }
    ::close(pipeEnds[1]);

    sink.log("Running " + mkvmerge + " " + argument);
    sink.slog("Making MKV", 0);
    host.setCommandEnabled(Command::Cancel, true);
    OutputLines lines(sink);
    bool stopped = false;
    char buffer[4096];
    while (true) {
        pollfd wait{pipeEnds[0], POLLIN, 0};
        const int ready = ::poll(&wait, 1, 100);
        if (ready > 0) {
            const ssize_t n = ::read(pipeEnds[0], buffer, sizeof buffer);
            if (n > 0) {
                lines.add(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                break;
            }
        }
        host.processEvents();
        if (state.CancelRequested && !stopped) {
            ::kill(child, SIGTERM);
            stopped = true;
        }
    }
    ::close(pipeEnds[0]);
    lines.line();
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    host.setCommandEnabled(Command::Cancel, false);
    sink.slog("", 1);
    if (stopped) {
        sink.log("mkvmerge stopped.");
        return;
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code == 127) throw ToolError("mkvmerge not found");
    if (code != 0 && code != 1) throw ToolError("mkvmerge failed: " + lines.error());
    sink.log("mkvmerge: " + lines.last());
}

}  // namespace tarnwell
