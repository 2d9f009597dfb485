#pragma once
// The stream slots the program knows, and how many of each there are. Every loop, table and
// view sizes itself from these.

#include <cstdint>

namespace tarnwell {

enum class SlotKind : std::uint8_t { Video, Audio, Subpicture };

// Entries of the stream table's rows, by stream number. Every 5-bit subpicture number has an
// entry; the scan fills video entries 0 and 1 alone.
inline constexpr int kVideoEntries = 16;
inline constexpr int kAudioEntries = 16;
inline constexpr int kSubEntries = 32;

// Check boxes of the selection: subpicture entries 16..31 have none, and video slots 2..7 are
// shown but never receive a stream.
inline constexpr int kVideoSlots = 8;
inline constexpr int kAudioSlots = 16;
inline constexpr int kSubSlots = 16;

// Video streams 0 and 1 are written and counted.
inline constexpr int kVideoOutputs = 2;

}  // namespace tarnwell
