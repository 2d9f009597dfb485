#pragma once
// What a job works with: the shared engine state, the stream selection, the chosen input,
// and the window's two interfaces. A job reaches the outside only through these.

#include "engine/engine_state.h"
#include "io/report_sink.h"
#include "engine/scan_result.h"
#include "jobs/host.h"
#include "jobs/input_choice.h"
#include "selection/stream_selection.h"

namespace tarnwell {

struct JobContext {
    EngineState& state;
    StreamSelection& selection;
    InputChoice& input;
    ReportSink& sink;
    Host& host;
    // What the last Read EVO found, or nullptr when no scan is at hand.
    const ScanResult* lastScan = nullptr;
};

}  // namespace tarnwell
