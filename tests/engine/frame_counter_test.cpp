#include "engine/frame_counter.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <vector>

#include "engine_harness.h"

namespace tarnwell {
namespace {

using fixture::Bytes;
using testing::hex;

// The rule as stated: a window started at zero, one shift and one comparison per byte.
std::int64_t referenceCount(const Bytes& chunk, VideoCodec codec) {
    std::uint32_t w = 0;
    std::int64_t count = 0;
    for (const auto b : chunk) {
        w = (w << 8) | b;
        if (w == frameStartCode(codec)) ++count;
    }
    return count;
}

struct CountCase {
    const char* name;
    VideoCodec codec;
    const char* bytes;
    std::int64_t expected;
};

const CountCase kCountCases[] = {
    {"MPEG-2 picture", vcMpeg2, "00 00 01 00 17 FF", 1},
    {"MPEG-2 field pictures count twice", vcMpeg2, "00 00 01 00 17 FF 00 00 01 00 17 FF", 2},
    {"MPEG-2 codes back to back", vcMpeg2, "00 00 01 00 00 01 00", 2},
    {"MPEG-2 sequence header is not a picture", vcMpeg2, "00 00 01 B3 00 00 01 B5", 0},
    {"chunk starting 01 00", vcMpeg2, "01 00 55", 1},
    {"chunk starting 00 01 00", vcMpeg2, "00 01 00", 1},
    {"chunk starting 01 01 00", vcMpeg2, "01 01 00", 0},
    {"nonzero byte before 01", vcMpeg2, "07 00 01 00", 0},
    {"code cut by the chunk end", vcMpeg2, "44 00 00 01", 0},
    {"only the 01 at the end", vcMpeg2, "00 00 00 01", 0},
    {"H.264 delimiter", vcH264, "00 00 01 09 F0", 1},
    {"H.264 delimiter after an extra zero counts once", vcH264, "00 00 00 01 09 10", 1},
    {"H.264 nal_ref_idc 1 is not counted", vcH264, "00 00 01 29", 0},
    {"H.264 nal_ref_idc 2 is not counted", vcH264, "00 00 01 49", 0},
    {"H.264 nal_ref_idc 3 is not counted", vcH264, "00 00 01 69", 0},
    {"H.264 picture start code is another codec's", vcH264, "00 00 01 00", 0},
    {"VC-1 frame", vcVC1, "00 00 01 0D 3A", 1},
    {"VC-1 field is not counted", vcVC1, "00 00 01 0C 3A", 0},
    {"VC-1 chunk starting 01 0D", vcVC1, "01 0D", 1},
    {"VC-1 chunk of one byte", vcVC1, "01", 0},
    {"empty chunk", vcVC1, "", 0},
    {"zeros only", vcMpeg2, "00 00 00 00 00", 0},
};

TEST(FrameCounter, OneCodePerCodecClass) {
    for (const auto& c : kCountCases) {
        SCOPED_TRACE(c.name);
        const Bytes chunk = hex(c.bytes);
        EXPECT_EQ(countFrameCodes(chunk, c.codec), c.expected);
        EXPECT_EQ(referenceCount(chunk, c.codec), c.expected);
        std::int32_t count = 5;
        countFrames(chunk, c.codec, count);
        EXPECT_EQ(count, 5 + c.expected);
    }
}

TEST(FrameCounter, SameCountsAsTheByteRuleOnRandomAndAdversarialChunks) {
    std::mt19937 random(20240611);
    // Bytes drawn mostly from those that make up codes, so that codes, near-codes and codes
    // cut by the chunk's ends are frequent.
    const std::uint8_t alphabet[] = {0x00, 0x00, 0x00, 0x01, 0x01, 0x00, 0x09, 0x0D,
                                     0x0C, 0x29, 0xB3, 0xFF, 0x10, 0x01, 0x00, 0x00};
    for (int round = 0; round < 20000; ++round) {
        const std::size_t length = random() % (round % 10 == 0 ? 3000 : 40);
        Bytes chunk(length);
        const bool uniform = round % 3 == 0;
        for (auto& b : chunk)
            b = uniform ? static_cast<std::uint8_t>(random()) : alphabet[random() % 16];
        for (const auto codec : {vcMpeg2, vcH264, vcVC1})
            ASSERT_EQ(countFrameCodes(chunk, codec), referenceCount(chunk, codec))
                << "round " << round << " codec " << int(codec);
    }
}

TEST(FrameCounter, SameCountsOnRepeatedPatterns) {
    const char* patterns[] = {"01",          "00",          "00 01", "00 00 01", "00 00 01 00",
                              "00 00 01 0D", "00 00 01 09", "01 00", "01 0D 00", "00 00 00 01 09"};
    for (const auto* pattern : patterns) {
        const Bytes unit = hex(pattern);
        Bytes chunk;
        for (int i = 0; i < 200; ++i) fixture::append(chunk, unit);
        for (std::size_t cut = 0; cut < 6; ++cut) {
            const Bytes tail(chunk.begin() + static_cast<std::ptrdiff_t>(cut), chunk.end());
            for (const auto codec : {vcMpeg2, vcH264, vcVC1})
                ASSERT_EQ(countFrameCodes(tail, codec), referenceCount(tail, codec))
                    << pattern << " cut " << cut;
        }
    }
}

TEST(FrameCounter, EveryScreenCountsAsTheByteRule) {
    std::mt19937 random(20261209);
    // Random bytes, a quarter of them zeros, with 0x01 bytes planted, so that codes and
    // "00 01" pairs are frequent, in chunks long enough for the wide screens.
    for (int round = 0; round < 3000; ++round) {
        Bytes chunk(64 + random() % 400);
        for (auto& b : chunk) b = random() % 4 == 0 ? 0 : static_cast<std::uint8_t>(random());
        for (int plant = random() % 6; plant > 0; --plant) chunk[random() % chunk.size()] = 1;
        for (const auto screen : {FrameScreen::Avx2, FrameScreen::Sse2, FrameScreen::Scalar}) {
            if (!frameScreenAvailable(screen)) continue;
            for (const auto codec : {vcMpeg2, vcH264, vcVC1})
                ASSERT_EQ(countFrameCodes(chunk, codec, screen), referenceCount(chunk, codec))
                    << "round " << round << " screen " << int(screen);
        }
    }
}

TEST(FrameCounter, CountStopsAtTheLargestValue) {
    const Bytes chunk = hex("00 00 01 0D 00 00 01 0D 00 00 01 0D");
    std::int32_t count = std::numeric_limits<std::int32_t>::max() - 1;
    countFrames(chunk, vcVC1, count);
    EXPECT_EQ(count, std::numeric_limits<std::int32_t>::max());
    countFrames(chunk, vcVC1, count);
    EXPECT_EQ(count, std::numeric_limits<std::int32_t>::max());
}

}  // namespace
}  // namespace tarnwell
