// The block walk passes runs of bytes in one go; here it is held against the loop as the
// rules state it (every visited byte shifted in and stepped one at a time) on random and
// adversarial inputs, and whole runs over such inputs must keep the stream table sound.

#include "engine/block_walk.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine_harness.h"

namespace tarnwell {
namespace {

using fixture::Bytes;

template <class HandOver>
void referenceWalk(ProgramStreamParser& parser, const std::uint8_t* block, std::int64_t n,
                   HandOver&& handOver) {
    ParserState& s = parser.state();
    std::int64_t i = 0;
    while (i < n) {
        parser.shiftIn(block[i]);
        if (!s.inPayload) {
            parser.step(block[i]);
            ++i;
        } else if (s.packetLeft <= 0) {
            s.packetLeft = 0;
            s.inPayload = false;
            parser.shiftIn(block[i]);
            parser.step(block[i]);
            ++i;
        } else {
            const std::int64_t chunk = std::min<std::int64_t>(s.packetLeft, n - i);
            handOver(block + i, chunk);
            s.packetLeft -= static_cast<std::int32_t>(chunk);
            if (s.packetLeft == 0) s.inPayload = false;
            i += chunk;
        }
    }
}

struct Chunk {
    std::int64_t offset;
    std::int64_t length;
    PayloadKind kind;
    std::int32_t videoNo, audioNo, subNo;
    VideoCodec codec;
    std::uint32_t timeStamp;
    bool operator==(const Chunk&) const = default;
};

struct Trace {
    std::vector<Chunk> chunks;
    std::vector<ParserState> statesAfterBlocks;
    StreamTable table;
    std::vector<std::string> lines;
};

// Random sequences of the pieces a program stream is made of, and of pieces that break it.
Bytes adversarialInput(std::mt19937& random, std::size_t size) {
    static const std::uint8_t kIds[] = {0xE0, 0xE1, 0xE2, 0xE3, 0xFD, 0xC0, 0xC7, 0xCF, 0xBC,
                                        0xBD, 0xBD, 0xBD, 0xBE, 0xBF, 0xBA, 0xBB, 0x00, 0x01};
    static const std::uint8_t kFlags[] = {0x80, 0xC0, 0x81, 0xC1, 0x01, 0x00, 0x40, 0xFF};
    static const std::uint8_t kSubIds[] = {0x20, 0x35, 0x3F, 0x61, 0x80, 0x87, 0x88, 0x8F, 0x90,
                                           0xA0, 0xA7, 0xA9, 0xB1, 0xB9, 0xC0, 0xCF, 0x00, 0x05};
    auto pick = [&](auto& table) { return table[random() % std::size(table)]; };
    Bytes out;
    while (out.size() < size) {
        switch (random() % 12) {
            case 0:
            case 1:
                fixture::append(out, Bytes{0, 0, 1, pick(kIds)});
                break;
            case 2:  // a length field, often small enough to end inside the header
                out.push_back(random() % 4 == 0 ? static_cast<std::uint8_t>(random()) : 0);
                out.push_back(
                    static_cast<std::uint8_t>(random() % 4 == 0 ? random() : random() % 24));
                break;
            case 3:
                out.push_back(0x81);
                out.push_back(pick(kFlags));
                out.push_back(
                    static_cast<std::uint8_t>(random() % 8 == 0 ? random() : random() % 16));
                break;
            case 4:
                out.push_back(pick(kSubIds));
                break;
            case 5:
                out.insert(out.end(), random() % 300 + 1, 0x00);
                break;
            case 6:
                for (int k = random() % 20; k >= 0; --k) fixture::append(out, Bytes{0, 1});
                break;
            case 7: {
                std::uint64_t seed = random();
                fixture::appendNoise(out, random() % 400 + 1, seed);
                break;
            }
            case 8:
            case 9: {
                using fixture::StreamRef;
                const StreamRef streams[] = {StreamRef::mpeg2(1),
                                             StreamRef::h264(0),
                                             StreamRef::vc1(random() % 3),
                                             StreamRef::dd(2),
                                             StreamRef::lpcm(1),
                                             StreamRef::mlp(0),
                                             StreamRef::sub(random() % 32),
                                             StreamRef::ddplus(3),
                                             StreamRef::mpegAudio(1),
                                             StreamRef::extSub(4)};
                const auto& stream = streams[random() % std::size(streams)];
                const Bytes payload = fixture::noisePayload(random() % 3000, random());
                std::optional<std::uint64_t> pts;
                if (random() % 2) pts = (std::uint64_t{random()} << 1) | (random() % 2);
                fixture::append(out, fixture::streamPacket(stream, payload, pts));
                break;
            }
            case 10:
                fixture::append(out, fixture::paddingPacket(random() % 300 + 6));
                break;
            default:
                for (int k = random() % 12; k >= 0; --k)
                    out.push_back(static_cast<std::uint8_t>(random()));
                break;
        }
    }
    return out;
}

template <class Walk>
Trace traceWalk(const Bytes& input, const std::vector<std::size_t>& blockSizes, Walk walk) {
    Trace trace;
    RecordingSink sink;
    ProgramStreamParser parser(trace.table, sink, true);
    parser.reset();
    std::size_t offset = 0;
    for (std::size_t k = 0; offset < input.size(); ++k) {
        const std::size_t n = std::min(blockSizes[k % blockSizes.size()], input.size() - offset);
        const std::uint8_t* block = input.data() + offset;
        walk(parser, block, static_cast<std::int64_t>(n),
             [&](const std::uint8_t* chunk, std::int64_t length) {
                 ParserState& s = parser.state();
                 trace.chunks.push_back({static_cast<std::int64_t>(chunk - input.data()), length,
                                         s.kind, s.videoNo, s.audioNo, s.subNo, s.videoCodec,
                                         s.timeStamp});
                 if (s.kind == pkSubpicture) s.timeStamp = 0;
             });
        trace.statesAfterBlocks.push_back(parser.state());
        offset += n;
    }
    trace.lines = sink.lines;
    return trace;
}

TEST(BlockWalk, SameStatesAndChunksAsTheByteByByteLoop) {
    std::mt19937 random(77);
    for (int round = 0; round < 160; ++round) {
        const Bytes input = adversarialInput(random, 20000 + random() % 60000);
        std::vector<std::size_t> blockSizes;
        if (round % 4 == 0)
            blockSizes = {32768};
        else
            for (int k = 0; k < 7; ++k) blockSizes.push_back(random() % (round % 2 ? 7 : 5000) + 1);

        const Trace fast = traceWalk(
            input, blockSizes, [](auto& p, auto* b, auto n, auto&& h) { walkBlock(p, b, n, h); });
        const Trace reference =
            traceWalk(input, blockSizes,
                      [](auto& p, auto* b, auto n, auto&& h) { referenceWalk(p, b, n, h); });
        ASSERT_EQ(fast.statesAfterBlocks.size(), reference.statesAfterBlocks.size());
        for (std::size_t k = 0; k < fast.statesAfterBlocks.size(); ++k)
            ASSERT_TRUE(fast.statesAfterBlocks[k] == reference.statesAfterBlocks[k])
                << "round " << round << " block " << k;
        ASSERT_TRUE(fast.chunks == reference.chunks) << "round " << round;
        ASSERT_EQ(fast.table, reference.table);
        ASSERT_EQ(fast.lines, reference.lines);
    }
}

// Every code sits in its own row, at the number its rule gives it.
void expectSoundTable(const StreamTable& table) {
    for (int n = 0; n < StreamTable::kVideoEntries; ++n) {
        const int code = table.VideoIds[n];
        if (code == -1) continue;
        EXPECT_TRUE(n < 2 && (code == 0xE0 + n || code == 0xE2 + n || code == 0x55 + n))
            << "video " << n << " = " << code;
    }
    for (int n = 0; n < StreamTable::kAudioEntries; ++n) {
        const int code = table.AudioIds[n];
        if (code == -1) continue;
        const bool low =
            n < 8 && (code == 0x80 + n || code == 0x88 + n || code == 0xA0 + n || code == 0xB0 + n);
        EXPECT_TRUE(low || code == 0xC0 + n) << "audio " << n << " = " << code;
    }
    for (int n = 0; n < StreamTable::kSubEntries; ++n) {
        const int code = table.SubIds[n];
        if (code == -1) continue;
        EXPECT_TRUE(code == 0x20 + n || code == 0x60 + n) << "sub " << n << " = " << code;
    }
}

TEST(BlockWalk, RunsOverAdversarialFilesKeepTheTableSound) {
    std::mt19937 random(4242);
    for (int round = 0; round < 12; ++round) {
        testing::EngineHarness h;
        h.setInput(adversarialInput(random, 150000 + random() % 100000));
        for (int n = 0; n < 16; ++n) {
            if (n < 2) h.output(SlotKind::Video, n);
            h.output(SlotKind::Audio, n);
            h.output(SlotKind::Subpicture, n);
        }
        h.demuxAll();
        expectSoundTable(h.state.streamTable);
        // Each record of a ".pts" file is a whole 4-byte time stamp.
        for (int n = 0; n < 16; ++n) EXPECT_EQ(h.writtenPts(n).size() % 4, 0u);

        h.openInput(h.inputPath());
        h.read();
        expectSoundTable(h.state.streamTable);
    }
}

}  // namespace
}  // namespace tarnwell
