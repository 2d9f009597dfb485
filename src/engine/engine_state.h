#pragma once
// The program-wide records that every job shares: the input file and its one block buffer,
// the output slots, the stream table, the frame counters and the two flags. There is one
// instance for the program; only one job may use it at a time.

#include <array>
#include <cstddef>
#include <cstdint>

#include "io/file_io.h"
#include "formats/slot_limits.h"
#include "engine/stream_table.h"

namespace tarnwell {

// The scan loop walks its input in blocks of this size.
inline constexpr std::size_t kReadBufSize = 32768;
// The loops read ahead this much at a time into the shared buffer, so that a block or a pack
// costs no system call of its own.
inline constexpr std::size_t kReadAheadSize = 32 * kReadBufSize;

struct EngineState {
    InputFile InFile;
    // The one buffer every loop reads into.
    alignas(64) std::array<std::uint8_t, kReadAheadSize> ReadBuf{};

    // Output slots of the Demux job, by stream number.
    std::array<OutputFile, kVideoOutputs> VideoOut;
    std::array<OutputFile, kAudioSlots> AudioOut;
    std::array<OutputFile, kSubSlots> SubOut;
    std::array<OutputFile, kSubSlots> SubPtsOut;
    // The rebuilt EVO file of the Rebuild command.
    OutputFile RebuildOut;

    StreamTable streamTable;
    // Frames counted in video streams 0 and 1.
    std::array<std::int32_t, kVideoOutputs> FrameCount{};

    // The stop request, tested by the loops between blocks.
    bool CancelRequested = false;
    // Whether the Cancel command asks before stopping (true for the job last started if it
    // writes streams or a rebuilt EVO).
    bool Demuxing = false;
};

}  // namespace tarnwell
