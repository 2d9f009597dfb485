// The scan loop over the file: read mode with and without frame counting, and demux mode
// writing every stream of the file.

#include "bench_engine.h"
#include "bench_input.h"

namespace tarnwell::bench {
namespace {

std::string outputPath(const BenchInput& input, const BenchSlot& slot, const char* suffix = "") {
    const char* kind = slot.kind == SlotKind::Video   ? "video"
                       : slot.kind == SlotKind::Audio ? "audio"
                                                      : "sub";
    return input.dir + "/tarnwell-bench-" + kind + std::to_string(slot.number) + suffix;
}

void readRun(const BenchInput& input, bool countFrames) {
    BenchEngine engine(input);
    engine.host.countFrames = countFrames;
    engine.run(kReadMode);
}

void demuxRun(const BenchInput& input) {
    BenchEngine engine(input);
    EngineState& state = *engine.state;
    for (const auto& slot : kBenchSlots) {
        engine.selection.setEnabled(slot.kind, slot.number, true);
        engine.selection.setChecked(slot.kind, slot.number, true);
        switch (slot.kind) {
            case SlotKind::Video:
                state.VideoOut[slot.number].create(outputPath(input, slot));
                break;
            case SlotKind::Audio:
                state.AudioOut[slot.number].create(outputPath(input, slot));
                break;
            case SlotKind::Subpicture:
                state.SubOut[slot.number].create(outputPath(input, slot));
                state.SubPtsOut[slot.number].create(outputPath(input, slot, ".pts"));
                break;
        }
    }
    engine.run(kDemuxMode);
    for (auto& out : state.VideoOut) out.close();
    for (auto& out : state.AudioOut) out.close();
    for (auto& out : state.SubOut) out.close();
    for (auto& out : state.SubPtsOut) out.close();
}

void removeDemuxOutputs(const BenchInput& input) {
    for (const auto& slot : kBenchSlots) {
        removeFile(outputPath(input, slot));
        removeFile(outputPath(input, slot, ".pts"));
    }
}

const bool registeredReadCounting = registerBenchCase({
    .name = "read mode, counting frames",
    .order = 30,
    .run = [](const BenchInput& input) { readRun(input, true); },
    .compareWith = {{"cat FILE >/dev/null", 0.5}},
});

const bool registeredRead = registerBenchCase({
    .name = "read mode, not counting",
    .order = 40,
    .run = [](const BenchInput& input) { readRun(input, false); },
    .compareWith = {{"cat FILE >/dev/null"}},
});

const bool registeredDemux = registerBenchCase({
    .name = "demux mode, every stream",
    .order = 50,
    .run = demuxRun,
    .cleanUp = removeDemuxOutputs,
    // The block copy pays for the same reads and writes, without parsing.
    .compareWith = {{"cp FILE DIR/copy", 0.7}, {"copy in 32 KiB blocks"}},
});

}  // namespace
}  // namespace tarnwell::bench
