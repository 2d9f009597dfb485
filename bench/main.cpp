// tarnwell-bench [DIR] [SIZE_MB] [ROUNDS]: generates an EVO file of SIZE_MB MiB (default 2048)
// in DIR (default /tmp), warms the page cache with it, then runs, as a user would, a warm-up
// round that is not counted and ROUNDS rounds (default 5) of `cat`, `cp`, `ffmpeg -c copy` of its streams and tarnwell-cli's read,
// demux (raw, with the subpictures as PGS, and to MKV with mkvmerge when it is installed),
// rebuild, and mkv of a one-title disc around the file, one after the other in every round. It prints each command's median time with its spread, user and system time and peak
// resident memory (from the child's rusage), and each ratio of speeds (median and min-max over the
// rounds). Every file it writes is deleted again.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_input.h"

namespace tarnwell::bench {
namespace {

namespace fs = std::filesystem;

// The generated file is large: an interrupt stops the running command and ends the run
// through its clean-up, which removes the file and the outputs.
volatile std::sig_atomic_t interrupted = 0;
volatile pid_t runningChild = 0;

void onInterrupt(int) {
    interrupted = 1;
    if (runningChild > 0) ::kill(runningChild, SIGTERM);
}

void stopOnInterrupt() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
    // Output into a closed pipe must not end the run before its clean-up.
    ::signal(SIGPIPE, SIG_IGN);
}

void throwIfInterrupted() {
    if (interrupted) throw std::runtime_error("interrupted");
}

struct Command {
    std::string name;
    std::vector<std::string> argv;
    bool tarnwell = false;  // a run of the CLI: its user and system time are shown
};

struct Sample {
    double seconds = 0;
    double user = 0;
    double system = 0;
    double peakMiB = 0;
};

double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// Runs the command with standard output and error into /dev/null; a failure is an error.
Sample runChild(const Command& command) {
    std::vector<char*> argv;
    for (const auto& arg : command.argv) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("cannot fork");
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    runningChild = pid;
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) != pid)
        if (errno != EINTR) throw std::runtime_error("wait failed");
    runningChild = 0;
    throwIfInterrupted();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("failed: " + command.name + " (" + command.argv[0] + ")");
    return {took.count(), seconds(usage.ru_utime), seconds(usage.ru_stime),
            static_cast<double>(usage.ru_maxrss) / 1024.0};  // kilobytes on Linux
}

void emptyFolder(const std::string& dir) {
    for (const auto& entry : fs::directory_iterator(dir)) fs::remove_all(entry.path());
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string spread(const std::vector<double>& values, const char* format) {
    char text[96];
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    std::snprintf(text, sizeof text, format, median(values), *low, *high);
    return text;
}

// Whether ffmpeg finds the two subpicture streams, so that they can be mapped too.
bool ffmpegSeesSubpictures(const std::string& file) {
    const std::string probe =
        "ffprobe -v error -select_streams s -show_entries stream=index "
        "-of csv=p=0 '" +
        file + "' 2>/dev/null | wc -l";
    std::FILE* pipe = ::popen(probe.c_str(), "r");
    if (!pipe) return false;
    int streams = 0;
    if (std::fscanf(pipe, "%d", &streams) != 1) streams = 0;
    ::pclose(pipe);
    return streams >= 2;
}

// The machine's load average, to judge how noisy the figures are.
std::string loadAverage() {
    std::FILE* file = std::fopen("/proc/loadavg", "r");
    char text[64] = "unknown";
    if (file) {
        if (!std::fgets(text, sizeof text, file)) std::strcpy(text, "unknown");
        std::fclose(file);
    }
    std::string load = text;
    while (!load.empty() && load.back() == '\n') load.pop_back();
    return load;
}

// A disc around the file: HVDVD_TS/BENCH.EVO links to it, and the playlist has one title of it
// that lists its streams, so that `mkv` does the work of `demux --mkv` on it.
void writeBenchDisc(const std::string& disc, const std::string& file) {
    fs::create_directories(disc + "/HVDVD_TS");
    fs::create_directories(disc + "/ADV_OBJ");
    fs::create_symlink(fs::absolute(file), disc + "/HVDVD_TS/BENCH.EVO");
    std::FILE* xpl = std::fopen((disc + "/ADV_OBJ/VPLST000.XPL").c_str(), "w");
    if (!xpl) throw std::runtime_error("cannot write the bench disc's playlist");
    std::fputs(R"(<?xml version="1.0" encoding="UTF-8"?>
<Playlist displayName="BENCH">
  <MediaAttributeList>
    <VideoAttributeItem index="1" codec="VC-1"/>
    <AudioAttributeItem index="1" codec="DD+" channels="6"/>
    <AudioAttributeItem index="2" codec="MLP" channels="6"/>
    <SubpictureAttributeItem index="1" codec="2bitRLC"/>
  </MediaAttributeList>
  <TitleSet timeBase="24fps">
    <Title id="BENCH" titleNumber="1" displayName="Bench">
      <PrimaryAudioVideoClip titleTimeBegin="00:00:00:00" src="file:///dvddisc/HVDVD_TS/BENCH.MAP">
        <Video track="1" mediaAttr="1"/>
        <Audio track="1" streamNumber="1" mediaAttr="1" langcode="en:00" description="DD+"/>
        <Audio track="2" streamNumber="2" mediaAttr="2" langcode="en:00" description="TrueHD"/>
        <Subtitle track="1" streamNumber="1" mediaAttr="1" langcode="en:00" description="One"/>
        <Subtitle track="2" streamNumber="2" mediaAttr="1" langcode="fr:00" description="Two"/>
      </PrimaryAudioVideoClip>
    </Title>
  </TitleSet>
</Playlist>
)",
               xpl);
    std::fclose(xpl);
}

bool mkvmergeInstalled() {
    return std::system("command -v mkvmerge >/dev/null 2>&1") == 0;
}

std::vector<Command> commands(const std::string& cli, const std::string& file,
                              const std::string& out, bool withSubpictures,
                              const std::string& disc) {
    Command ffmpeg{"ffmpeg -c copy", {"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", file}};
    const auto map = [&](const char* stream, const char* name) {
        for (const char* arg : {"-map", stream, "-c", "copy"}) ffmpeg.argv.push_back(arg);
        ffmpeg.argv.push_back(out + "/" + name);
    };
    map("0:v:0", "video.vc1");
    map("0:a:0", "audio-truehd.thd");
    map("0:a:1", "audio-ddplus.eac3");
    if (withSubpictures) {
        map("0:s:0", "sub0.mkv");
        map("0:s:1", "sub1.mkv");
    }
    std::vector<Command> list{
        {"cat FILE >/dev/null", {"cat", file}},
        {"cp FILE", {"cp", file, out + "/copy.EVO"}},
        ffmpeg,
        {"read, frames counted", {cli, "read", "--no-fast-check", file}, true},
        {"demux, every stream", {cli, "demux", "-o", out, file}, true},
        {"demux --sup pgs", {cli, "demux", "--sup", "pgs", "-o", out, file}, true},
        {"rebuild, audio00 dropped", {cli, "rebuild", "-o", out, "--drop", "audio00", file}, true},
    };
    if (mkvmergeInstalled()) {
        list.push_back({"demux --mkv", {cli, "demux", "--mkv", "-o", out, file}, true});
        list.push_back({"mkv, the disc's title", {cli, "mkv", "-o", out, disc}, true});
    }
    return list;
}

struct Ratio {
    const char* name;
    const char* faster;  // seconds of `slower` over seconds of `faster`, round by round
    const char* slower;
    double target;
    double floor;
};

const Ratio kRatios[] = {
    {"read (frames counted) / cat", "read, frames counted", "cat FILE >/dev/null", 0.8, 0.65},
    {"demux / cp", "demux, every stream", "cp FILE", 1.0, 0.85},
    {"demux / ffmpeg -c copy", "demux, every stream", "ffmpeg -c copy", 4.0, 0},
    {"demux --sup pgs / demux", "demux --sup pgs", "demux, every stream", 0.95, 0},
    {"rebuild / cp", "rebuild, audio00 dropped", "cp FILE", 1.0, 0.85},
    // A title costs what the Read EVO, the Matroska-ready Demux and mkvmerge of its clip do.
    {"mkv / demux --mkv", "mkv, the disc's title", "demux --mkv", 0.9, 0},
};

constexpr double kMemoryTargetMiB = 64;

std::string cliPath() {
    const auto self = fs::read_symlink("/proc/self/exe");
    return (self.parent_path() / "tarnwell-cli").string();
}

int benchMain(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : "/tmp";
    const long long mebibytes = argc > 2 ? std::atoll(argv[2]) : 2048;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
    if (mebibytes < 1 || rounds < 1) {
        std::fprintf(stderr, "usage: tarnwell-bench [DIR] [SIZE_MB] [ROUNDS]\n");
        return 2;
    }
    const std::string cli = cliPath();
    if (::access(cli.c_str(), X_OK) != 0) throw std::runtime_error("no " + cli);
    const std::string base = dir + "/tarnwell-bench-" + std::to_string(::getpid());
    // TARNWELL_BENCH_INPUT=path keeps the generated file there and uses it again in later runs
    // (of the same size), so that a profiler can be pointed at the same input.
    const char* kept = std::getenv("TARNWELL_BENCH_INPUT");
    const std::string file = kept ? kept : base + ".EVO";
    const std::string out = base + ".out";
    const std::string disc = base + ".disc";
    struct RemoveAll {
        const std::string& file;
        const std::string& out;
        const std::string& disc;
        bool keepFile;
        ~RemoveAll() {
            std::error_code ignored;
            if (!keepFile) fs::remove(file, ignored);
            fs::remove_all(out, ignored);
            fs::remove_all(disc, ignored);
        }
    } removeAll{file, out, disc, kept != nullptr};
    stopOnInterrupt();
    fs::create_directory(out);

    const auto wanted = static_cast<std::uintmax_t>(mebibytes) * 1048576;
    std::error_code noFile;
    if (kept && fs::file_size(file, noFile) == wanted - wanted % 2048) {
        std::printf("Using %s\n", file.c_str());
    } else {
        std::printf("Generating %lld MiB of packs in %s ...\n", mebibytes, file.c_str());
        std::fflush(stdout);
        writeBenchInput(file, mebibytes, interrupted);
    }
    const bool subs = ffmpegSeesSubpictures(file);
    if (!subs) std::printf("ffmpeg finds no subpicture streams: it copies video and audio only\n");
    // Warm the page cache, so every command reads from memory.
    runChild({"warm-up", {"cat", file}});

    // TARNWELL_BENCH_ONLY=text runs only the commands whose name holds the text (profiling).
    const char* only = std::getenv("TARNWELL_BENCH_ONLY");
    std::vector<Command> chosen;
    writeBenchDisc(disc, file);
    for (auto& command : commands(cli, file, out, subs, disc))
        if (!only || command.name.find(only) != std::string::npos) chosen.push_back(command);

    std::printf("load average before: %s\n", loadAverage().c_str());
    std::map<std::string, std::vector<Sample>> samples;
    // Round 0 is not counted: on a virtual machine the memory that the outputs take is slow the
    // first time it is touched (seconds per GB), which would fall on whichever command came first.
    for (int round = 0; round <= rounds; ++round) {
        std::printf(round == 0 ? "warm-up round\n" : "round %d/%d\n", round, rounds);
        std::fflush(stdout);
        for (const auto& command : chosen) {
            const Sample sample = runChild(command);
            if (round > 0) samples[command.name].push_back(sample);
            emptyFolder(out);
            // Every command starts without the write-back that the one before it left.
            ::sync();
        }
    }

    const double gigabytes = static_cast<double>(mebibytes) * 1048576 / 1e9;
    std::printf("\n%-26s %-22s %8s %8s %8s %9s\n", "command (median of rounds)",
                "seconds [min-max]", "GB/s", "user s", "system s", "peak MiB");
    double peakCli = 0;
    for (const auto& command : chosen) {
        std::vector<double> wall, user, system;
        double peak = 0;
        for (const auto& s : samples[command.name]) {
            wall.push_back(s.seconds);
            user.push_back(s.user);
            system.push_back(s.system);
            peak = std::max(peak, s.peakMiB);
        }
        if (command.tarnwell) peakCli = std::max(peakCli, peak);
        std::printf("%-26s %-22s %8.2f %8.3f %8.3f %9.1f\n", command.name.c_str(),
                    spread(wall, "%.3f [%.3f-%.3f]").c_str(), gigabytes / median(wall),
                    median(user), median(system), peak);
    }

    // The ratio of CPU times (user + system) is shown beside: on a busy machine it varies less
    // than the elapsed times, though it leaves out the kernel's write-back.
    std::printf("\n%-30s %-24s %-11s %s\n", "speed ratio", "median [min-max]", "CPU ratio",
                "target (floor)");
    const auto cpu = [](const Sample& s) { return s.user + s.system; };
    for (const auto& ratio : kRatios) {
        if (!samples.count(ratio.faster) || !samples.count(ratio.slower)) continue;
        std::vector<double> values, cpuValues;
        for (int round = 0; round < rounds; ++round) {
            const Sample& slower = samples[ratio.slower][round];
            const Sample& faster = samples[ratio.faster][round];
            values.push_back(slower.seconds / faster.seconds);
            cpuValues.push_back(cpu(slower) / std::max(cpu(faster), 1e-6));
        }
        const double m = median(values);
        const char* verdict = m >= ratio.target                     ? "met"
                              : ratio.floor > 0 && m >= ratio.floor ? "floor met"
                                                                    : "MISSED";
        std::printf("%-30s %-24s %-11.2f >= %.2f", ratio.name,
                    spread(values, "%.2f [%.2f-%.2f]").c_str(), median(cpuValues), ratio.target);
        if (ratio.floor > 0) std::printf(" (%.2f)", ratio.floor);
        std::printf(": %s\n", verdict);
    }
    std::printf("load average after: %s\n", loadAverage().c_str());
    std::printf("peak resident memory of the CLI: %.1f MiB (target < %.0f MiB: %s)\n", peakCli,
                kMemoryTargetMiB, peakCli < kMemoryTargetMiB ? "met" : "MISSED");
    return 0;
}

}  // namespace
}  // namespace tarnwell::bench

int main(int argc, char** argv) {
    try {
        return tarnwell::bench::benchMain(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tarnwell-bench: %s\n", error.what());
        return 1;
    }
}
