#pragma once
// Runs the Rebuild command on files made by the fixture builder, without a window.

#include <memory>
#include <string>
#include <vector>

#include "engine/engine_state.h"
#include "io/report_sink.h"
#include "jobs/host.h"
#include "jobs/input_choice.h"
#include "jobs/job_context.h"
#include "jobs/rebuild_job.h"
#include "pack_fixtures.h"
#include "selection/stream_selection.h"
#include "support/temp_dir.h"

namespace tarnwell::testing {

inline void appendPack(Bytes& out, const Bytes& pack) {
    fixture::append(out, pack);
}

struct RebuildRig {
    TempDir dir;
    RecordingSink sink;
    BasicHost host;
    std::unique_ptr<EngineState> state = std::make_unique<EngineState>();
    StreamSelection selection;
    InputChoice input;

    RebuildRig() {
        host.clock = [] { return 0.0; };
    }

    JobContext context() { return JobContext{*state, selection, input, sink, host}; }

    // Writes the input file into the rig's folder and chooses it.
    std::string chooseInput(const std::string& name, const Bytes& bytes) {
        const auto path = dir.file(name);
        writeFile(path, bytes);
        input.chooseEvo(path, host);
        return path;
    }

    // A stream as a Read EVO would leave it: in the table, its slot ticked or not.
    void found(SlotKind kind, int n, std::int32_t code, bool checked = true) {
        auto& table = state->streamTable;
        (kind == SlotKind::Video   ? table.VideoIds[n]
         : kind == SlotKind::Audio ? table.AudioIds[n]
                                   : table.SubIds[n]) = code;
        selection.setChecked(kind, n, checked);
    }

    void run() {
        auto job = context();
        bRebuildClick(job, state->streamTable);
    }
};

}  // namespace tarnwell::testing
