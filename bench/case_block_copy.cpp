// What any loop pays that reads the file in 32 KiB blocks and writes it out through the file
// layer's buffered outputs: the ceiling for the demux case, which does that and parses.

#include <array>
#include <memory>

#include "bench_case.h"
#include "engine/engine_state.h"
#include "engine/file_io.h"

namespace tarnwell::bench {
namespace {

std::string copyPath(const BenchInput& input) {
    return input.dir + "/tarnwell-bench-block-copy.EVO";
}

void blockCopy(const BenchInput& input) {
    InputFile in;
    in.open(input.file);
    OutputFile out;
    out.create(copyPath(input));
    auto block = std::make_unique<std::array<std::uint8_t, kReadBufSize>>();
    for (;;) {
        const std::int64_t n = in.read(block->data(), kReadBufSize);
        if (n <= 0) break;
        out.write(block->data(), static_cast<std::size_t>(n));
    }
    out.close();
}

const bool registered = registerBenchCase({
    .name = "copy in 32 KiB blocks",
    .order = 25,
    .run = blockCopy,
    .cleanUp = [](const BenchInput& input) { removeFile(copyPath(input)); },
    .compareWith = {{"cp FILE DIR/copy"}},
});

}  // namespace
}  // namespace tarnwell::bench
