// What a read-mode run returns about each stream it found: its code, the first PTS of the
// stream in file order with all 33 bits, and the packets and payload bytes seen.

#include "engine/scan_result.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "engine_harness.h"

namespace tarnwell {
namespace {

using fixture::Bytes;
using fixture::StreamRef;

constexpr std::int64_t kAbove32Bits = 0x1'2345'6789;

struct Packet {
    StreamRef stream;
    std::size_t payload;
    std::optional<std::uint64_t> pts;
    std::optional<std::uint64_t> dts;  // MPEG-2 video only: PTS+DTS field
};

Bytes packetsFile(const std::vector<Packet>& packets) {
    Bytes file;
    std::uint32_t seed = 1;
    for (const auto& p : packets) {
        const Bytes payload = fixture::randomPayload(p.payload, seed++);
        fixture::PesOptions options;
        options.pts = p.pts;
        options.dts = p.dts;
        fixture::append(file, fixture::packHeader());
        fixture::append(file, p.dts ? fixture::pesPacket(p.stream.streamId(), payload, options)
                                    : fixture::streamPacket(p.stream, payload, p.pts));
    }
    return file;
}

TEST(ScanResult, EachFoundStreamWithItsFirstPtsPacketsAndBytes) {
    struct Case {
        const char* what;
        std::vector<Packet> packets;
        std::vector<FoundStream> found;
    };
    const auto vc1 = StreamRef::vc1(0), ddplus = StreamRef::ddplus(1), sub = StreamRef::sub(3),
               mpeg2 = StreamRef::mpeg2(1);
    const Case cases[] = {
        {"a PTS above 2^32, a stream without any, one whose first packet has none",
         {{vc1, 100, kAbove32Bits, {}},
          {ddplus, 40, {}, {}},
          {sub, 30, {}, {}},
          {vc1, 50, 1000, {}},
          {sub, 20, 0x1'0000'0000, {}},
          {ddplus, 60, {}, {}}},
         {{SlotKind::Video, 0, 0x55, kAbove32Bits, 2, 150},
          {SlotKind::Audio, 1, 0xC1, -1, 2, 100},
          {SlotKind::Subpicture, 3, 0x23, 0x1'0000'0000, 2, 50}}},
        {"the PTS of a PTS+DTS field, not its DTS",
         {{mpeg2, 10, 0x1'FFFF'FFFF, 5}, {mpeg2, 10, 7, 3}},
         {{SlotKind::Video, 1, 0xE1, 0x1'FFFF'FFFF, 2, 20}}},
        {"nothing found", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testing::EngineHarness h;
        const Bytes file = packetsFile(c.packets);
        h.setInput(file);
        const ScanResult result = h.read();
        EXPECT_EQ(result.streams, c.found);
        EXPECT_EQ(result.fileSize, static_cast<std::int64_t>(file.size()));
        EXPECT_FALSE(result.cutByFastCheck);
        for (const auto& stream : c.found) {
            const FoundStream* found = result.find(stream.kind, stream.number);
            ASSERT_NE(found, nullptr);
            EXPECT_EQ(*found, stream);
        }
        EXPECT_EQ(result.find(SlotKind::Audio, 15), nullptr);
    }
}

}  // namespace
}  // namespace tarnwell
