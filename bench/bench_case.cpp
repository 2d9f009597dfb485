#include "bench_case.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace tarnwell::bench {

namespace {

std::vector<BenchCase>& registry() {
    static std::vector<BenchCase> cases;
    return cases;
}

}  // namespace

bool registerBenchCase(BenchCase benchCase) {
    registry().push_back(std::move(benchCase));
    return true;
}

std::vector<BenchCase> benchCases() {
    auto cases = registry();
    std::stable_sort(cases.begin(), cases.end(),
                     [](const BenchCase& a, const BenchCase& b) { return a.order < b.order; });
    return cases;
}

void runShell(const std::string& command) {
    if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

std::string shellQuoted(const std::string& path) {
    std::string quoted = "'";
    for (const char c : path) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

void removeFile(const std::string& path) {
    ::unlink(path.c_str());
}

}  // namespace tarnwell::bench
