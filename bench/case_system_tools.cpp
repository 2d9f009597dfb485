// The yardsticks: the system's own tools reading and copying the same file.

#include "bench_case.h"

namespace tarnwell::bench {
namespace {

std::string copyPath(const BenchInput& input) {
    return input.dir + "/tarnwell-bench-copy.EVO";
}

const bool registeredCat = registerBenchCase({
    .name = "cat FILE >/dev/null",
    .order = 10,
    .run =
        [](const BenchInput& input) { runShell("cat " + shellQuoted(input.file) + " >/dev/null"); },
});

const bool registeredCp = registerBenchCase({
    .name = "cp FILE DIR/copy",
    .order = 20,
    .run =
        [](const BenchInput& input) {
            runShell("cp " + shellQuoted(input.file) + " " + shellQuoted(copyPath(input)));
        },
    .cleanUp = [](const BenchInput& input) { removeFile(copyPath(input)); },
});

}  // namespace
}  // namespace tarnwell::bench
