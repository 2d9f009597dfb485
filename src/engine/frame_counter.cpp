#include "engine/frame_counter.h"

#include <cstring>
#include <limits>

namespace tarnwell {

std::int64_t countFrameCodes(std::span<const std::uint8_t> chunk, VideoCodec codec) {
    // Every match of 00 00 01 XX has its own 0x01 byte, so it is enough to find the 0x01
    // bytes and look at their neighbours; a neighbour before the chunk reads as zero.
    const std::uint8_t last = static_cast<std::uint8_t>(frameStartCode(codec));
    const std::uint8_t* const begin = chunk.data();
    const std::uint8_t* const end = begin + chunk.size();
    if (chunk.size() < 2) return 0;
    std::int64_t count = 0;
    const std::uint8_t* p = begin;
    // The 0x01 byte must have a byte after it in the chunk.
    const std::uint8_t* const limit = end - 1;
    while (p < limit) {
        p = static_cast<const std::uint8_t*>(std::memchr(p, 0x01, limit - p));
        if (!p) break;
        if (p[1] == last && (p == begin || p[-1] == 0) && (p - begin < 2 || p[-2] == 0)) ++count;
        ++p;
    }
    return count;
}

void countFrames(std::span<const std::uint8_t> chunk, VideoCodec codec, std::int32_t& frameCount) {
    const std::int64_t found = countFrameCodes(chunk, codec);
    if (found == 0) return;
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    const std::int64_t sum = std::int64_t{frameCount} + found;
    frameCount = static_cast<std::int32_t>(sum > kMax ? kMax : sum);
}

}  // namespace tarnwell
