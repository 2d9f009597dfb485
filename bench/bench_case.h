#pragma once
// The benchmark's cases: each one is a timed operation over the generated EVO file, put in
// a file of its own that registers it with `registerBenchCase`. The program runs them in
// their order, keeps the best of a few runs, and compares each with its baseline.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/report_sink.h"

namespace tarnwell::bench {

struct BenchInput {
    std::string dir;   // the folder for outputs; a case deletes what it writes there
    std::string file;  // the generated EVO file
    std::int64_t size = 0;
};

struct BenchCase {
    std::string name;
    int order = 0;  // cases run in ascending order
    // One timed run.
    std::function<void(const BenchInput&)> run{};
    // Untimed, after each run: removes what the run left behind.
    std::function<void(const BenchInput&)> cleanUp{};
    // Cases whose throughput this one is held against, each with the least ratio wanted
    // (0: shown only).
    struct Comparison {
        std::string baseline;
        double target = 0;
    };
    std::vector<Comparison> compareWith{};
};

// For a static initialiser in the case's file: `const bool registered = registerBenchCase(...)`.
bool registerBenchCase(BenchCase benchCase);
// Every registered case, in order.
std::vector<BenchCase> benchCases();

// Runs a shell command; a failure is an error.
void runShell(const std::string& command);
// The path quoted for the shell.
std::string shellQuoted(const std::string& path);
void removeFile(const std::string& path);

// Swallows the engine's log lines and progress texts.
class NullSink : public ReportSink {
  public:
    void log(std::string_view) override {}
    void slog(std::string_view, std::uint8_t) override {}
};

}  // namespace tarnwell::bench
