// The scan loop over arbitrary bytes, in read and in demux mode, held against the plain
// reference model: the stream table, the log lines, the progress texts, the frame counts, the
// cancel and the bytes of every output and time-stamp file must be the same, and nothing may
// crash or read outside its buffers on the way.
//
// Input: 8 control bytes, then the body.
//   byte 0   bit 0 mode (demux when set), bit 1 count frames, bits 2..4 repeats - 1,
//            bit 5 cancel at the first progress step
//   byte 1,2 zero bytes before the body: (byte1 & 0x7F) * 256 + byte2, so the body can sit
//            anywhere against the first block boundary; byte 1 = 0xFF puts it just before the
//            4 MiB progress step instead
//   byte 3..7 the ticked slots: video 0..1, audio 0..15, subpicture 0..15 (34 bits)
// The file is the zeros followed by the body repeated, so packets in the body meet the block
// boundaries at many offsets.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine_state.h"
#include "io/report_sink.h"
#include "engine/scan_loop.h"
#include "fuzz_support.h"
#include "jobs/host.h"
#include "jobs/stream_routing.h"
#include "selection/stream_selection.h"
#include "support/reference_model.h"
#include "support/temp_dir.h"

namespace {

using namespace tarnwell;
using fuzz::Bytes;
using reference::Slot;

constexpr std::size_t kMaxFile = 5u << 20;
constexpr std::size_t kProgressStep = 4u << 20;

SlotKind kindOf(char group) {
    return group == 'v' ? SlotKind::Video : group == 'a' ? SlotKind::Audio : SlotKind::Subpicture;
}

std::string outputPath(const Slot& slot) {
    return fuzz::scratchFile(std::string(1, slot.first) + std::to_string(slot.second));
}

OutputFile& slotFile(EngineState& state, const Slot& slot) {
    switch (slot.first) {
        case 'v':
            return state.VideoOut.at(slot.second);
        case 'a':
            return state.AudioOut.at(slot.second);
        default:
            return state.SubOut.at(slot.second);
    }
}

template <typename T>
void expectSame(const T& engine, const T& model, const char* what) {
    if (!(engine == model)) fuzz::finding(std::string(what) + " differs from the reference model");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputReader input(data, size);
    const std::uint8_t flags = input.byte();
    const std::uint8_t padHigh = input.byte();
    const std::uint8_t padLow = input.byte();
    const std::uint64_t tickBits = std::uint64_t{input.byte()} << 32 | input.bits(4);

    reference::ModelOptions options;
    options.mode = flags & 1;
    options.countFrames = (flags & 2) != 0;
    options.cancelAtProgress = (flags & 0x20) != 0 ? 1 : 0;
    options.fileName = "FEATURE_1.EVO";
    if (options.mode == 1) {
        for (int n = 0; n < 34; ++n) {
            if ((tickBits >> n & 1) == 0) continue;
            options.ticked.push_back(n < 2    ? Slot{'v', n}
                                     : n < 18 ? Slot{'a', n - 2}
                                              : Slot{'s', n - 18});
        }
    }

    const std::size_t repeats = 1 + (flags >> 2 & 7);
    const std::size_t pad = padHigh == 0xFF ? kProgressStep - 2 * kReadBufSize + padLow * 64
                                            : (padHigh & 0x7F) * 256u + padLow;
    Bytes file(pad, 0);
    for (std::size_t r = 0; r < repeats && file.size() < kMaxFile; ++r)
        file.insert(file.end(), input.rest(), input.rest() + input.restSize());

    const std::string inputPath = fuzz::scratchFile(options.fileName);
    testing::writeFile(inputPath, file);

    auto state = std::make_unique<EngineState>();
    StreamSelection selection;
    RecordingSink sink;
    BasicHost host;
    host.countFrames = options.countFrames;
    host.clock = [] { return 45000.0; };
    host.onProcessEvents = [&] {
        if (host.eventRounds == options.cancelAtProgress) state->CancelRequested = true;
    };
    state->InFile.open(inputPath);
    for (const Slot& slot : options.ticked) {
        selection.setChecked(kindOf(slot.first), slot.second, true);
        slotFile(*state, slot).create(outputPath(slot));
        if (slot.first == 's') state->SubPtsOut.at(slot.second).create(outputPath(slot) + ".pts");
    }

    HostRunControl run(host);
    StreamRouting routing(selection, *state);
    EngineContext context{*state, sink, run, &routing};
    runScan(options.mode == 1 ? ScanMode::Demux : ScanMode::Read, context);
    for (const Slot& slot : options.ticked) {
        slotFile(*state, slot).close();
        if (slot.first == 's') state->SubPtsOut.at(slot.second).close();
    }
    state->InFile.close();

    const reference::ModelResult model = reference::runModel(file, options);
    expectSame(state->streamTable.VideoIds, model.videoIds, "VideoIds");
    expectSame(state->streamTable.AudioIds, model.audioIds, "AudioIds");
    expectSame(state->streamTable.SubIds, model.subIds, "SubIds");
    expectSame(sink.lines, model.lines, "the log");
    expectSame(sink.statusTexts(1), model.progress, "the progress text");
    expectSame(state->CancelRequested, model.cancelled, "the cancel");
    expectSame(std::int64_t{state->FrameCount[0]}, model.frames[0], "the frame count of video 0");
    expectSame(std::int64_t{state->FrameCount[1]}, model.frames[1], "the frame count of video 1");
    for (const Slot& slot : options.ticked) {
        const auto found = model.outputs.find(slot);
        const Bytes expected = found == model.outputs.end() ? Bytes{} : found->second;
        expectSame(testing::readFile(outputPath(slot)), expected, "an output file");
        if (slot.first != 's') continue;
        const auto foundPts = model.pts.find(slot.second);
        const Bytes expectedPts = foundPts == model.pts.end() ? Bytes{} : foundPts->second;
        expectSame(testing::readFile(outputPath(slot) + ".pts"), expectedPts, "a .pts file");
    }
    return 0;
}
