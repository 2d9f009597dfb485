#pragma once
// A whole engine around one test: a temporary folder, the shared state, a selection, a
// recording sink and a plain host, with helpers to write inputs, tick streams and read back
// what a run wrote.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/engine_state.h"
#include "io/report_sink.h"
#include "engine/scan_loop.h"
#include "evo_builder.h"
#include "jobs/host.h"
#include "jobs/stream_routing.h"
#include "selection/stream_selection.h"
#include "support/temp_dir.h"

namespace tarnwell::testing {

using fixture::Bytes;

// "00 00 01 BD" and the like: hex byte pairs separated by blanks.
Bytes hex(std::string_view text);
Bytes concat(std::initializer_list<Bytes> parts);
// Zero bytes up to `length` (a file position), for placing the next bytes exactly.
void padTo(Bytes& bytes, std::size_t length);

// A file of `size` bytes, holes everywhere except the listed pieces.
void writeSparseFile(const std::string& path, std::int64_t size,
                     const std::vector<std::pair<std::int64_t, Bytes>>& pieces);

// A fresh folder in memory-backed storage, for sparse files of gigabytes.
struct SparseDir : TempDir {
    SparseDir() : TempDir(Storage::Memory) {}
};

// Remembers every enabled-state change of the Cancel command.
class TracingHost : public BasicHost {
  public:
    void setCommandEnabled(Command command, bool enabled) override {
        BasicHost::setCommandEnabled(command, enabled);
        if (command == Command::Cancel) cancelStates.push_back(enabled);
    }
    std::vector<bool> cancelStates;
};

class EngineHarness {
  public:
    EngineHarness();

    // Writes `bytes` as the input file and opens it.
    void setInput(const Bytes& bytes, const std::string& name = "FEATURE_1.EVO");
    std::string inputPath(const std::string& name = "FEATURE_1.EVO") const {
        return dir.file(name);
    }
    void openInput(const std::string& path);

    ScanResult read() { return runScan(ScanMode::Read, context); }
    void demuxAll() { runScan(ScanMode::Demux, context); }

    // Ticks the slot and creates its output file (and the ".pts" file of a subpicture).
    void output(SlotKind kind, int n);
    void tick(SlotKind kind, int n, bool checked = true) { selection.setChecked(kind, n, checked); }

    // Closes every output slot and returns what a slot's file holds.
    Bytes written(SlotKind kind, int n);
    Bytes writtenPts(int n);
    void closeOutputs();

    TempDir dir;
    // The job's write-behind, which outlives the output files given to it.
    WriteBehind writeBehind;
    std::unique_ptr<EngineState> statePtr;
    EngineState& state;
    StreamSelection selection;
    RecordingSink sink;
    TracingHost host;
    HostRunControl run;
    StreamRouting routing;
    EngineContext context;

  private:
    std::string outputName(SlotKind kind, int n) const;
};

}  // namespace tarnwell::testing
