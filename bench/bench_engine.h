#pragma once
// An engine set up as the jobs set it up, for the cases that run the scan loop.

#include <memory>
#include <string>

#include "bench_case.h"
#include "engine/engine_state.h"
#include "engine/scan_loop.h"
#include "jobs/host.h"
#include "jobs/stream_routing.h"
#include "selection/stream_selection.h"

namespace tarnwell::bench {

struct BenchEngine {
    explicit BenchEngine(const BenchInput& input) : state(std::make_unique<EngineState>()) {
        host.fastCheck = false;  // the whole file, not its first 300,000,000 bytes
        state->InFile.open(input.file);
    }

    void run(int mode) {
        HostRunControl control(host);
        StreamRouting routing(selection, *state);
        EngineContext context{*state, sink, control, &routing};
        demux(mode, context);
    }

    std::unique_ptr<EngineState> state;
    StreamSelection selection;
    NullSink sink;
    BasicHost host;
};

}  // namespace tarnwell::bench
