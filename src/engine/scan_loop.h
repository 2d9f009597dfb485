#pragma once
// The one loop that both the Read EVO and the Demux job run over an EVO file: 32768-byte
// blocks through the program stream parser, payload chunks to the frame counter and the
// output files, progress every 4 MiB, cancel between blocks.

#include "engine/engine_state.h"
#include "engine/host.h"
#include "engine/report_sink.h"

namespace tarnwell {

class StreamSelection;

inline constexpr int kReadMode = 0;
inline constexpr int kDemuxMode = 1;

// Everything a run touches besides its own parser state.
struct EngineContext {
    EngineState& state;
    const StreamSelection& selection;
    ReportSink& sink;
    Host& host;
};

// One run over `state.InFile` from its current position to its end. Mode 0 reads (fills the
// stream table, logs the streams found, counts frames); mode 1 also writes the payload of
// every ticked stream into its open output slot. Write errors propagate as FileError.
void demux(int mode, EngineContext& context);

}  // namespace tarnwell
