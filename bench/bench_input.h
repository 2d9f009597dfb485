#pragma once
// The benchmark's input: an EVO file laid out as a disc has it, pack by pack. Each video
// object unit of 200 packs holds a navigation pack, 166 packs of VC-1 video (frame start
// codes every 28 KB or so, uniformly random bytes between them), 16 packs of TrueHD audio
// (MLP substream 0xB1, slot audio01), 8 of DD+ audio (0xC0, slot audio00), 3 of each of two
// subpicture streams and 3 padding packs, interleaved evenly. The subpicture streams carry
// real units from the fixture builder's encoder, one text-like subtitle line of some 22 KB
// about every 1.5 seconds of video per stream, 1.5% of the file each: the share a disc's
// subtitles have.

#include <csignal>
#include <cstdint>
#include <string>

namespace tarnwell::bench {

// Writes `mebibytes` MiB of packs to `path` without holding more than one unit in memory;
// throws as soon as `stop` is set.
void writeBenchInput(const std::string& path, std::int64_t mebibytes,
                     const volatile std::sig_atomic_t& stop);

}  // namespace tarnwell::bench
