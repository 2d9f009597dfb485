#pragma once
// The benchmark's input: an EVO file laid out as a disc has it, pack by pack. Each video
// object unit of 200 packs holds a navigation pack, 170 packs of VC-1 video (85%: frame
// start codes every 28 KB or so, uniformly random bytes between them), 14 packs of DD+
// audio, 10 of DD audio, 3 of subpicture and 2 padding packs, interleaved evenly.

#include <cstdint>
#include <string>

#include "selection/stream_selection.h"

namespace tarnwell::bench {

// The streams of the generated file, as the slots that select them.
struct BenchSlot {
    SlotKind kind;
    int number;
};
inline constexpr BenchSlot kBenchSlots[] = {
    {SlotKind::Video, 0}, {SlotKind::Audio, 0}, {SlotKind::Audio, 1}, {SlotKind::Subpicture, 0}};

// Writes `mebibytes` MiB of packs to `path` without holding more than one unit in memory.
void writeBenchInput(const std::string& path, std::int64_t mebibytes);

}  // namespace tarnwell::bench
