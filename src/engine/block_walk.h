#pragma once
// One block through the program stream parser, as the scan loop walks it: every visited byte
// is shifted into the window first; outside payload it is stepped; a byte inside payload
// starts a chunk, bounded by the packet and the block, that is handed over whole and skipped.

#include <algorithm>
#include <cstdint>

#include "engine/program_stream_parser.h"

namespace tarnwell {

// `handOver(const std::uint8_t* chunk, std::int64_t length)` sees the parser state of the
// chunk's packet and may change its time-stamp register.
template <class HandOver>
void walkBlock(ProgramStreamParser& parser, const std::uint8_t* block, std::int64_t n,
               HandOver&& handOver) {
    ParserState& s = parser.state();
    std::int64_t i = 0;
    while (i < n) {
        // Runs of bytes that would only enter the window are taken in one go.
        i += parser.passOver(block + i, n - i);
        if (i >= n) break;
        const std::uint8_t b = block[i];
        parser.shiftIn(b);
        if (!s.inPayload) {
            parser.step(b);
            ++i;
        } else if (s.packetLeft <= 0) {
            // A packet without payload: the byte is examined again as an ordinary byte,
            // entering the window a second time.
            s.packetLeft = 0;
            s.inPayload = false;
        } else {
            const std::int64_t chunk = std::min<std::int64_t>(s.packetLeft, n - i);
            handOver(block + i, chunk);
            s.packetLeft -= static_cast<std::int32_t>(chunk);
            if (s.packetLeft == 0) s.inPayload = false;
            i += chunk;
        }
    }
}

}  // namespace tarnwell
