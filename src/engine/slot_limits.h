#pragma once
// The stream slots the program knows, and how many of each there are. Every loop, table and
// view sizes itself from these.

#include <cstdint>

namespace tarnwell {

enum class SlotKind : std::uint8_t { Video, Audio, Subpicture };

// Video streams 0 and 1 are written and counted; the selection shows eight video slots.
inline constexpr int kVideoOutputs = 2;
inline constexpr int kVideoSlots = 8;
inline constexpr int kAudioSlots = 16;
inline constexpr int kSubSlots = 16;

}  // namespace tarnwell
