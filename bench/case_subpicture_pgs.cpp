// What writing subpictures as PGS adds to a demux: as many subpicture bytes as the benchmark
// file carries (3 packs in 200), here HD units of subtitle text, cut into units pack by pack,
// decoded and written as a PGS file. Its throughput counts the whole file's bytes, so held against
// the demux case a ratio of 20 means the PGS path costs a twentieth of the demux.

#include <algorithm>

#include "bench_case.h"
#include "engine/file_io.h"
#include "evo_builder.h"
#include "jobs/pgs_writer.h"
#include "subpicture_encoder.h"

namespace tarnwell::bench {
namespace {

std::string supPath(const BenchInput& input) {
    return input.dir + "/tarnwell-bench-pgs.sup";
}

// A 1200x100 two-line caption: glyph strokes of 2..5 pixels with a 1-pixel outline, 2..13
// pixels apart, 8-bit runs, as subtitle text has (about 4 pixels per unit byte).
fixture::Bytes caption(std::uint32_t seed) {
    fixture::Bytes pixels;
    for (int line = 0; line < 100; ++line) {
        const bool text = (line >= 10 && line < 45) || (line >= 55 && line < 90);
        for (int x = 0; x < 1200;) {
            seed = seed * 1664525u + 1013904223u;
            const int gap = 2 + int(seed >> 28), stroke = 2 + int(seed >> 24 & 3);
            for (int i = 0; i < gap + stroke + 2 && x < 1200; ++i, ++x)
                pixels.push_back(!text || i < gap ? 0 : i == gap || i == gap + stroke + 1 ? 2 : 1);
        }
    }
    return pixels;
}

// Captions until the stream has `length` bytes.
const fixture::Bytes& subpictureStream(std::size_t length) {
    static fixture::Bytes stream;
    for (std::uint32_t seed = 0; stream.size() < length; ++seed) {
        fixture::SubpictureSpec spec;
        spec.eightBitRuns = true;
        spec.x = 360, spec.y = 900, spec.width = 1200, spec.height = 100;
        spec.pixels = caption(seed);
        spec.palette.assign(768, 0x80);
        spec.alpha.assign(256, 0x00);
        spec.stopDelay = 200;
        fixture::append(stream, fixture::encodeSubpictureUnit(spec));
    }
    return stream;
}

void subpicturesToPgs(const BenchInput& input) {
    const auto stream = fixture::StreamRef::sub(0);
    const std::size_t packPayload = fixture::PackWriter::packCapacity(stream, true);
    const std::size_t packs = static_cast<std::size_t>(input.size) / 2048 * 3 / 200;
    const fixture::Bytes& bytes = subpictureStream(packs * packPayload);
    OutputFile out;
    out.create(supPath(input));
    PgsWriter pgs(out, 0, "Subpicture.00", [](std::string_view) {});
    SubpictureAssembler assembler(
        "Subpicture.00", [&](SubpictureUnit&& unit) { pgs.write(unit); }, [](std::string_view) {});
    for (std::size_t n = 0; n < packs; ++n)
        assembler.feed(std::span(bytes).subspan(n * packPayload, packPayload), true,
                       std::int64_t(n) * 3003);
    assembler.finish();
    pgs.finish();
    out.close();
}

const bool registered = registerBenchCase({
    .name = "subpictures of the file as PGS",
    .order = 80,
    .run = subpicturesToPgs,
    .cleanUp = [](const BenchInput& input) { removeFile(supPath(input)); },
    .compareWith = {{"demux mode, every stream", 20}},
});

}  // namespace
}  // namespace tarnwell::bench
