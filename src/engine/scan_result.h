#pragma once
// What a read-mode run found, as a value of its own: the codes and time stamps of the scan,
// kept while later runs fill the stream table again.

#include <cstdint>
#include <vector>

#include "formats/slot_limits.h"
#include "engine/stream_table.h"

namespace tarnwell {

struct FoundStream {
    SlotKind kind;
    int number;
    // The code the stream table holds for it.
    std::int32_t code;
    // The PTS (all 33 bits) of the stream's first packet, in file order, whose header has one.
    std::int64_t firstPts = -1;
    // The stream's PES packets and payload bytes: what a demux of it would write.
    std::int64_t packets = 0;
    std::int64_t bytes = 0;

    bool operator==(const FoundStream&) const = default;
};

struct ScanResult {
    // In slot order: video, audio, subpicture, each by number.
    std::vector<FoundStream> streams;
    // "Fast EVO checking" ended the run before the end of the file.
    bool cutByFastCheck = false;
    std::int64_t fileSize = 0;

    const FoundStream* find(SlotKind kind, int number) const {
        for (const auto& stream : streams)
            if (stream.kind == kind && stream.number == number) return &stream;
        return nullptr;
    }
};

}  // namespace tarnwell
