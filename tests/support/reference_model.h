#pragma once
// A deliberately plain second implementation of the scan loop, written straight from the
// byte rules and kept apart from the engine's code: one byte at a time, one 32768-byte block
// at a time from the whole file in memory, no bulk passing, no read-ahead, no screening. Its
// results are what a run of the engine over the same bytes must give.

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tarnwell::reference {

using Bytes = std::vector<std::uint8_t>;

// 'v' video 0..1, 'a' audio 0..15, 's' subpicture 0..15.
using Slot = std::pair<char, int>;

struct ModelOptions {
    int mode = 0;  // 0 read, 1 demux
    bool countFrames = true;
    bool fastCheck = true;
    // Ticked slots; in these runs every ticked slot has its output files.
    std::vector<Slot> ticked;
    // The input's file name, as the progress text shows it.
    std::string fileName;
    // The progress text's remaining time, for a clock that stands still.
    std::string remaining = "0:00:01";
    // The Cancel command acts while events run at this progress step (1 for the first; 0
    // for never).
    int cancelAtProgress = 0;
};

struct ModelResult {
    std::array<std::int32_t, 16> videoIds;
    std::array<std::int32_t, 16> audioIds;
    std::array<std::int32_t, 32> subIds;
    std::vector<std::string> lines;
    std::vector<std::string> progress;  // status panel 1, in order
    std::array<std::int64_t, 2> frames{};
    std::map<Slot, Bytes> outputs;
    std::map<int, Bytes> pts;  // subpicture time-stamp files
    bool cancelled = false;
};

ModelResult runModel(const Bytes& file, const ModelOptions& options);

}  // namespace tarnwell::reference
