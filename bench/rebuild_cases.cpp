// The Rebuild command over the file, as a user runs it after a Read EVO: once keeping every
// stream (each pack read, judged and written), once with the DD+ stream unticked (its packs
// left out, the DD stream renumbered from 0x81 to 0x80).

#include <memory>

#include "bench_case.h"
#include "bench_input.h"
#include "engine/engine_state.h"
#include "jobs/host.h"
#include "jobs/input_choice.h"
#include "jobs/job_context.h"
#include "jobs/output_naming.h"
#include "jobs/rebuild_job.h"
#include "selection/stream_selection.h"

namespace tarnwell::bench {
namespace {

std::string rebuiltPath(const BenchInput& input) {
    InputChoice choice;
    BasicHost host;
    choice.chooseEvo(input.file, host);
    return rebuiltFileName(outputBase(input.dir, choice.EVObase));
}

void rebuildRun(const BenchInput& input, bool dropFirstAudio) {
    auto state = std::make_unique<EngineState>();
    StreamSelection selection;
    InputChoice choice;
    NullSink sink;
    BasicHost host;
    host.workdir = input.dir;
    choice.chooseEvo(input.file, host);

    // The stream table and the ticks that a Read EVO of the file leaves.
    auto& table = state->streamTable;
    table.VideoIds[0] = 0x55;
    table.AudioIds[0] = 0xC0;
    table.AudioIds[1] = 0x81;
    table.SubIds[0] = 0x20;
    for (const auto& slot : kBenchSlots) {
        selection.setEnabled(slot.kind, slot.number, true);
        selection.setChecked(slot.kind, slot.number, true);
    }
    if (dropFirstAudio) selection.setChecked(SlotKind::Audio, 0, false);

    JobContext job{*state, selection, choice, sink, host};
    bRebuildClick(job);
}

const bool registeredKeepAll = registerBenchCase({
    .name = "rebuild, every stream kept",
    .order = 60,
    .run = [](const BenchInput& input) { rebuildRun(input, false); },
    .cleanUp = [](const BenchInput& input) { removeFile(rebuiltPath(input)); },
    .compareWith = {{"cp FILE DIR/copy", 0.7}, {"copy in 32 KiB blocks"}},
});

const bool registeredDropOne = registerBenchCase({
    .name = "rebuild, one audio dropped",
    .order = 70,
    .run = [](const BenchInput& input) { rebuildRun(input, true); },
    .cleanUp = [](const BenchInput& input) { removeFile(rebuiltPath(input)); },
    .compareWith = {{"cp FILE DIR/copy", 0.7}, {"copy in 32 KiB blocks"}},
});

}  // namespace
}  // namespace tarnwell::bench
