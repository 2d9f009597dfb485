#pragma once
// Cuts the sample's coded streams into the units a disc lays into packets: video frames (each
// with the headers before it) and audio frames.

#include <cstdint>
#include <span>
#include <vector>

namespace tarnwell::sample {

struct CodedUnit {
    std::span<const std::uint8_t> bytes;
    bool key = false;  // a frame a decoder can start at (a sequence header or an IDR picture)
    std::uint32_t ticks = 0;  // audio: the frame's length in 90 kHz ticks
};

// MPEG-2 video: a unit from a sequence, group or picture header up to the next picture's
// headers.
std::vector<CodedUnit> mpeg2Frames(std::span<const std::uint8_t> stream);
// H.264 in byte-stream form with access unit delimiters: a unit per delimiter.
std::vector<CodedUnit> h264Frames(std::span<const std::uint8_t> stream);
// AC-3 or E-AC-3 frames at 48 kHz, each sized from its own header.
std::vector<CodedUnit> ac3Frames(std::span<const std::uint8_t> stream);

}  // namespace tarnwell::sample
