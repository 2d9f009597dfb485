#pragma once
// The streams of the current file, by stream number: the code that identified each stream
// (stream id, substream id or stream_id_extension), or -1 for no stream.

#include <array>
#include <cstdint>

#include "formats/slot_limits.h"

namespace tarnwell {

struct StreamTable {
    // The row sizes, as the loops over a table name them.
    static constexpr int kVideoEntries = tarnwell::kVideoEntries;
    static constexpr int kAudioEntries = tarnwell::kAudioEntries;
    static constexpr int kSubEntries = tarnwell::kSubEntries;

    std::array<std::int32_t, kVideoEntries> VideoIds;
    std::array<std::int32_t, kAudioEntries> AudioIds;
    std::array<std::int32_t, kSubEntries> SubIds;

    StreamTable() { clear(); }

    // All 64 entries to -1.
    void clear() {
        VideoIds.fill(-1);
        AudioIds.fill(-1);
        SubIds.fill(-1);
    }

    bool operator==(const StreamTable&) const = default;
};

}  // namespace tarnwell
