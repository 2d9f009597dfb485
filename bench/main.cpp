// tarnwell-bench [DIR] [SIZE_MB]: generates an EVO file of SIZE_MB MiB (default 1024) in DIR
// (default /tmp), warms the page cache with it, times every registered case over it (best
// of three runs), prints the throughputs and their ratios to the baselines, and the peak
// resident memory. Everything it writes into DIR is deleted again.

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <string>
#include <vector>

#include "bench_case.h"
#include "bench_input.h"

namespace tarnwell::bench {
namespace {

constexpr int kRuns = 3;

// The generated file is large: an interrupted run removes it before it ends.
char interruptedInput[4096];

void removeInputAndExit(int) {
    ::unlink(interruptedInput);
    ::_exit(130);
}

void removeInputOnInterrupt(const std::string& path) {
    if (path.size() >= sizeof interruptedInput) return;
    path.copy(interruptedInput, path.size());
    interruptedInput[path.size()] = '\0';
    ::signal(SIGINT, removeInputAndExit);
    ::signal(SIGTERM, removeInputAndExit);
    ::signal(SIGHUP, removeInputAndExit);
    // Output into a closed pipe must not end the run before its clean-up.
    ::signal(SIGPIPE, SIG_IGN);
}
constexpr double kMemoryTargetMiB = 32;

double timedSeconds(const BenchCase& benchCase, const BenchInput& input) {
    double best = 0;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        benchCase.run(input);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (benchCase.cleanUp) benchCase.cleanUp(input);
        if (run == 0 || took.count() < best) best = took.count();
    }
    return best;
}

double peakResidentMiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

int benchMain(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : "/tmp";
    const long long mebibytes = argc > 2 ? std::atoll(argv[2]) : 1024;
    if (mebibytes < 1) {
        std::fprintf(stderr, "usage: tarnwell-bench [DIR] [SIZE_MB]\n");
        return 2;
    }
    BenchInput input;
    input.dir = dir;
    input.file = dir + "/tarnwell-bench-" + std::to_string(::getpid()) + ".EVO";
    input.size = mebibytes * 1048576;

    struct RemoveInput {
        const std::string& path;
        ~RemoveInput() { removeFile(path); }
    } removeInput{input.file};
    removeInputOnInterrupt(input.file);

    std::printf("Generating %lld MiB of packs in %s ...\n", mebibytes, input.file.c_str());
    std::fflush(stdout);
    writeBenchInput(input.file, mebibytes);
    // Warm the page cache, so every case reads from memory.
    runShell("cat " + shellQuoted(input.file) + " >/dev/null");

    std::printf("\n%-32s %8s %10s   (best of %d)\n", "case", "GB/s", "seconds", kRuns);
    std::map<std::string, double> throughput;
    // TARNWELL_BENCH_ONLY=text runs only the cases whose name holds the text (for profiling).
    const char* only = std::getenv("TARNWELL_BENCH_ONLY");
    std::vector<BenchCase> cases;
    for (auto& benchCase : benchCases())
        if (!only || benchCase.name.find(only) != std::string::npos) cases.push_back(benchCase);
    for (const auto& benchCase : cases) {
        const double seconds = timedSeconds(benchCase, input);
        const double gbps = static_cast<double>(input.size) / seconds / 1e9;
        throughput[benchCase.name] = gbps;
        std::printf("%-32s %8.2f %10.3f\n", benchCase.name.c_str(), gbps, seconds);
        std::fflush(stdout);
    }

    std::printf("\n");
    for (const auto& benchCase : cases) {
        for (const auto& comparison : benchCase.compareWith) {
            if (!throughput.count(comparison.baseline)) continue;
            const double ratio = throughput[benchCase.name] / throughput[comparison.baseline];
            std::printf("%s / %s: %.2f", benchCase.name.c_str(), comparison.baseline.c_str(),
                        ratio);
            if (comparison.target > 0)
                std::printf("  (target >= %.2f: %s)", comparison.target,
                            ratio >= comparison.target ? "met" : "MISSED");
            std::printf("\n");
        }
    }
    const double memory = peakResidentMiB();
    std::printf("peak resident memory: %.1f MiB  (target < %.0f MiB: %s)\n", memory,
                kMemoryTargetMiB, memory < kMemoryTargetMiB ? "met" : "MISSED");
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
