#pragma once
// Video frame counting: one start code per codec class, searched in each video payload chunk
// as if a 32-bit window started at zero for the chunk (so the bytes before the chunk count
// as zeros, and a code cut by the chunk's end is not counted).

#include <cstdint>
#include <span>

#include "engine/program_stream_parser.h"

namespace tarnwell {

// The code counted for a codec class: a picture start code (MPEG-2), an access unit
// delimiter (H.264) or a frame start code (VC-1).
constexpr std::uint32_t frameStartCode(VideoCodec codec) {
    switch (codec) {
        case vcH264:
            return 0x00000109;
        case vcVC1:
            return 0x0000010D;
        default:
            return 0x00000100;
    }
}

// How many times the window over `chunk`, started at zero, equals the codec's code.
std::int64_t countFrameCodes(std::span<const std::uint8_t> chunk, VideoCodec codec);

// The ways of screening a chunk for codes: 64 bytes at a time with AVX2 or SSE2 compares, or
// memchr for every 0x01 byte. All count the same; the one above is the widest available.
enum class FrameScreen { Avx2, Sse2, Scalar };
bool frameScreenAvailable(FrameScreen screen);
// As above, screened this way; the screen must be available.
std::int64_t countFrameCodes(std::span<const std::uint8_t> chunk, VideoCodec codec,
                             FrameScreen screen);

// Adds the chunk's codes to `frameCount`, which stops at its largest value.
void countFrames(std::span<const std::uint8_t> chunk, VideoCodec codec, std::int32_t& frameCount);

}  // namespace tarnwell
