#pragma once
// Time stamps of the program stream: 33-bit counts of a 90 kHz clock that wrap around.

#include <cstdint>

namespace tarnwell {

inline constexpr std::int64_t kPtsWrap = std::int64_t{1} << 33;

// a - b as the shorter signed distance around the wrap.
inline std::int64_t ptsDistance(std::int64_t a, std::int64_t b) {
    std::int64_t ticks = (a - b) % kPtsWrap;
    if (ticks < 0) ticks += kPtsWrap;
    return ticks >= kPtsWrap / 2 ? ticks - kPtsWrap : ticks;
}

// Any count of ticks as a time stamp, 0 .. 2^33 - 1.
inline std::int64_t wrappedPts(std::int64_t ticks) {
    const std::int64_t value = ticks % kPtsWrap;
    return value < 0 ? value + kPtsWrap : value;
}

// Ticks of 90 kHz as ms, rounded half away from zero.
inline std::int64_t ticksToMs(std::int64_t ticks) {
    return ticks < 0 ? -((-ticks + 45) / 90) : (ticks + 45) / 90;
}

}  // namespace tarnwell
