#include "hardening/hardening_fixture.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tarnwell::testing {

const char* jobName(Job job) {
    switch (job) {
        case Job::ReadEvo:
            return "Read EVO";
        case Job::Demux:
            return "Demux";
        case Job::Rebuild:
            return "Rebuild";
    }
    return "?";
}

bool isPrefix(const Bytes& part, const Bytes& whole) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

std::string HardeningFixture::runJob(Job job) {
    switch (job) {
        case Job::ReadEvo:
            return read();
        case Job::Demux:
            return demuxJob();
        case Job::Rebuild:
            return rebuildJob();
    }
    return "?";
}

EvoFixture HardeningFixture::readTitle(std::size_t size, std::uint32_t seed,
                                       const std::string& name) {
    auto evo = EvoFixture::title(size, seed);
    evo.save(disc(name));
    choose(name);
    EXPECT_EQ(read(), "");
    return evo;
}

std::map<std::string, Bytes> HardeningFixture::outputs() const {
    std::map<std::string, Bytes> files;
    for (const auto& name : outputNames()) files[name] = readFile(out(name));
    return files;
}

void HardeningFixture::expectNoSuccess(Job job, std::size_t from) {
    const auto lines = linesFrom(from);
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "Done."), lines.end());
    EXPECT_NE(sink.panels[0], "Ready");
    const Command button = job == Job::ReadEvo ? Command::ReadEvo
                           : job == Job::Demux ? Command::Demux
                                               : Command::Rebuild;
    EXPECT_FALSE(host.isEnabled(button));
}

// ---------------------------------------------------------------------------------------

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    if (::sigaction(SIGXFSZ, &ignore, &previousAction_) != 0) throw std::runtime_error("sigaction");
    if (::getrlimit(RLIMIT_FSIZE, &previous_) != 0) throw std::runtime_error("getrlimit");
    rlimit limit = previous_;
    limit.rlim_cur = std::min(bytes, previous_.rlim_max);
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) throw std::runtime_error("setrlimit");
}

FileSizeLimit::~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &previous_);
    ::sigaction(SIGXFSZ, &previousAction_, nullptr);
}

// ---------------------------------------------------------------------------------------

namespace {

constexpr uid_t kNobody = 65534;

void writeAllTo(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

std::string runUnprivileged(const std::function<std::string()>& job) {
    if (::geteuid() != 0) return job();
    int channel[2];
    if (::pipe(channel) != 0) return "child: no pipe";
    const pid_t child = ::fork();
    if (child < 0) return "child: no fork";
    if (child == 0) {
        ::close(channel[0]);
        // Groups first, while the rights to change them remain.
        const bool dropped =
            ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
        std::string result = kNoPrivilegeDrop;
        if (dropped) {
            try {
                result = job();
            } catch (const std::exception& error) {
                result = std::string("child: ") + error.what();
            }
        }
        writeAllTo(channel[1], result);
        // No exit handlers: they belong to the test process.
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string result;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(channel[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        result.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(channel[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "child: died with status " + std::to_string(status);
    return result;
}

// ---------------------------------------------------------------------------------------

namespace {

std::int64_t statusValue(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) != 0) continue;
        std::istringstream fields(line.substr(key.size() + 1));
        std::int64_t kib = -1;
        fields >> kib;
        return kib * 1024;
    }
    return -1;
}

}  // namespace

bool resetPeakMemory() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

std::int64_t peakMemory() {
    return statusValue("VmHWM");
}

std::int64_t currentMemory() {
    return statusValue("VmRSS");
}

}  // namespace tarnwell::testing
