#pragma once
// The one loop that both the Read EVO and the Demux job run over an EVO file: 32768-byte
// blocks through the program stream parser, payload chunks to the frame counter and the
// outputs, progress every 4 MiB, cancel between blocks.

#include <cstdint>

#include "engine/engine_state.h"
#include "engine/output_routing.h"
#include "io/report_sink.h"
#include "engine/run_control.h"
#include "engine/scan_result.h"

namespace tarnwell {

// Read fills the stream table, logs the streams found and counts frames; Demux also writes
// the payload of every slot that the routing names an output for.
enum class ScanMode : std::uint8_t { Read, Demux };

// Everything a run touches besides its own parser state.
struct EngineContext {
    EngineState& state;
    ReportSink& sink;
    RunControl& run;
    // Demux mode: where each slot's payload goes (nothing is written without one). Not used
    // in read mode.
    OutputRouting* routing = nullptr;
    // Demux mode: the job's write-behind, which the run's outputs hand their full buffers to
    // (nullptr: they write at once).
    WriteBehind* writeBehind = nullptr;
};

// One run over `state.InFile` from its current position to its end. A read returns what it
// found, a demux an empty result. Write errors propagate as FileError.
ScanResult runScan(ScanMode mode, EngineContext& context);

}  // namespace tarnwell
