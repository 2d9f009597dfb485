// ffmpeg (a checker only) decodes the LPCM of an EVO with its own pcm_dvd decoder; the WAV
// file written from the parser's payload chunks must decode to the very same samples.

#include "formats/lpcm_wav.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/block_walk.h"
#include "evo_builder.h"
#include "support/shell_output.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

using fixture::Bytes;
using fixture::StreamRef;

// Walks the EVO as the scan loop does and feeds every LPCM chunk to the writer, with the
// LPCM header bytes that the parser's window holds at a packet's first chunk.
void writeWav(const Bytes& evo, const std::string& wav, RecordingSink& sink) {
    StreamTable table;
    ProgramStreamParser parser(table, sink, false);
    OutputFile out;
    out.create(wav);
    LpcmWavWriter writer(out, sink, "LPCM.stream.00");
    bool midPacket = false;
    for (std::size_t at = 0; at < evo.size(); at += 32768) {
        const auto n = static_cast<std::int64_t>(std::min<std::size_t>(32768, evo.size() - at));
        walkBlock(parser, evo.data() + at, n, [&](const std::uint8_t* chunk, std::int64_t length) {
            const ParserState& s = parser.state();
            if (s.kind != pkAudio) return;
            const std::uint8_t header[3] = {std::uint8_t(s.window >> 24),
                                            std::uint8_t(s.window >> 16),
                                            std::uint8_t(s.window >> 8)};
            writer.feed({chunk, static_cast<std::size_t>(length)}, !midPacket, header);
            midPacket = s.packetLeft > length;
        });
    }
    writer.finish();
    out.close();
}

struct WavCase {
    int bits;
    int channels;
    int rate;
    std::uint8_t formatByte;
};

void PrintTo(const WavCase& c, std::ostream* out) {
    *out << c.bits << "-bit " << c.channels << "ch";
}

class LpcmWavTest : public ::testing::TestWithParam<WavCase> {};

TEST_P(LpcmWavTest, FfmpegDecodesTheSameSamples) {
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ffmpeg";
    const WavCase& c = GetParam();
    // One packet per write (ffmpeg loses a packet that holds no whole block), of odd sizes,
    // so blocks and samples are cut at packet ends; the time stamps follow the samples.
    fixture::PackWriter packs;
    packs.navPack(1, 0);
    const std::uint64_t bytesPerSecond = std::uint64_t(c.rate) * c.channels * c.bits / 8;
    for (std::uint64_t round = 0, total = 0; round < 120; ++round) {
        const std::size_t size = 1501 + 3 * round;
        packs.write(StreamRef::lpcm(0, {0x00, c.formatByte, 0x80}),
                    fixture::noisePayload(size, round + 1), 90000 + total * 90000 / bytesPerSecond);
        total += size;
    }
    testing::TempDir dir;
    const auto evo = dir.file("lpcm.EVO"), wav = dir.file("lpcm.wav");
    testing::writeFile(evo, packs.bytes());
    RecordingSink sink;
    writeWav(packs.bytes(), wav, sink);
    EXPECT_TRUE(sink.lines.empty());

    const std::string format = c.bits == 16 ? "s16le" : "s24le",
                      pcm = " -v error -f " + format + " -";
    const auto fromEvo = testing::shellOutput("ffmpeg -i '" + evo + "' -map 0:a:0" + pcm);
    const auto fromWav = testing::shellOutput("ffmpeg -i '" + wav + "'" + pcm);
    ASSERT_GT(fromEvo.size(), 100000u);
    EXPECT_TRUE(fromEvo == fromWav) << fromEvo.size() << " vs " << fromWav.size();

    const auto probe = testing::shellOutput(
        "ffprobe -v error -show_entries stream=codec_name,sample_rate,channels"
        " -of csv=p=0 '" +
        wav + "'");
    EXPECT_EQ(probe, "pcm_" + format + "," + std::to_string(c.rate) + "," +
                         std::to_string(c.channels) + "\n");
}

// 16-bit stereo, 24-bit 5.1, 20-bit mono and 20-bit 7.1 (format bytes as the header holds them).
INSTANTIATE_TEST_SUITE_P(Formats, LpcmWavTest,
                         ::testing::Values(WavCase{16, 2, 48000, 0x01}, WavCase{24, 6, 96000, 0x95},
                                           WavCase{20, 1, 44100, 0x60},
                                           WavCase{20, 8, 48000, 0x47}));

TEST(LpcmWavWriterTest, LogsAMissingHeaderAndAFormatChangeOnce) {
    testing::TempDir dir;
    RecordingSink sink;
    OutputFile out;
    out.create(dir.file("x.wav"));
    LpcmWavWriter writer(out, sink, "LPCM.stream.01");
    const std::uint8_t bad[3] = {0, 0xC1, 0}, stereo[3] = {0, 0x01, 0}, mono[3] = {0, 0x00, 0};
    const std::uint8_t samples[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    for (const auto* header : {bad, bad, stereo, mono, mono})
        writer.feed(samples, true, std::span<const std::uint8_t, 3>(header, 3));
    writer.finish();
    out.close();
    EXPECT_EQ(sink.lines.size(), 2u);
    EXPECT_EQ(writer.dataBytes(), 3u * sizeof samples);
    EXPECT_EQ(writer.format(), (LpcmFormat{16, 48000, 2}));
    // The sizes in the header are those of the file.
    const auto bytes = testing::readFile(dir.file("x.wav"));
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_EQ(bytes[4] | bytes[5] << 8 | bytes[6] << 16 | bytes[7] << 24, int(bytes.size() - 8));
}

std::uint64_t le(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b.at(at + static_cast<std::size_t>(i));
    return v;
}

// Just below and just past the 4 GiB RIFF limit: the header against the RF64 layout, and the
// duration that ffprobe reads from a sparse file of that size.
TEST(WavHeader, BecomesRf64JustPastFourGiB) {
    struct Case {
        LpcmFormat format;
        std::uint64_t dataBytes;
        bool rf64;
    };
    constexpr std::uint64_t k4G = std::uint64_t{1} << 32;
    const Case cases[] = {
        {{16, 48000, 2}, k4G - 74, false},  // RIFF size 0xFFFFFFFE
        {{16, 48000, 2}, k4G - 72, true},   // RIFF size 2^32
        {{24, 96000, 6}, k4G + 18, true},
    };
    testing::TempDir dir(testing::TempDir::Storage::Memory);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dataBytes);
        const auto h = wavHeader(c.format, c.dataBytes);
        const std::uint64_t fileSize = h.size() + c.dataBytes + (c.dataBytes & 1);
        const auto tag = [&](std::size_t at) {
            return std::string(h.begin() + at, h.begin() + at + 4);
        };
        const std::size_t dataAt = h.size() - 8;
        const std::uint64_t blockAlign = c.format.channels * (c.format.bitsPerSample == 16 ? 2 : 3);
        EXPECT_EQ(tag(0), c.rf64 ? "RF64" : "RIFF");
        EXPECT_EQ(tag(8), "WAVE");
        EXPECT_EQ(tag(12), c.rf64 ? "ds64" : "JUNK");
        EXPECT_EQ(le(h, 16, 4), 28u);
        EXPECT_EQ(tag(48), "fmt ");
        EXPECT_EQ(tag(dataAt), "data");
        if (c.rf64) {
            EXPECT_EQ(le(h, 4, 4), 0xFFFFFFFFu);
            EXPECT_EQ(le(h, dataAt + 4, 4), 0xFFFFFFFFu);
            EXPECT_EQ(le(h, 20, 8), fileSize - 8);
            EXPECT_EQ(le(h, 28, 8), c.dataBytes);
            EXPECT_EQ(le(h, 36, 8), c.dataBytes / blockAlign);
            EXPECT_EQ(le(h, 44, 4), 0u);  // no table
        } else {
            EXPECT_EQ(le(h, 4, 4), fileSize - 8);
            EXPECT_EQ(le(h, dataAt + 4, 4), c.dataBytes);
            EXPECT_EQ(std::vector<std::uint8_t>(h.begin() + 20, h.begin() + 48),
                      std::vector<std::uint8_t>(28, 0));
        }
        if (!testing::onPath("ffprobe")) continue;
        const auto wav = dir.file("big.wav");
        testing::writeFile(wav, h);
        std::filesystem::resize_file(wav, fileSize);
        const auto samples = testing::shellOutput(
            "ffprobe -v error -show_entries stream=duration_ts -of csv=p=0 '" + wav + "'");
        EXPECT_EQ(samples, std::to_string(c.dataBytes / blockAlign) + "\n");
    }
}

}  // namespace
}  // namespace tarnwell
