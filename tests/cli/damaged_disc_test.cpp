// Damaged discs through the Matroska-ready outputs: one title built with the fixture builder
// (VC-1, a real E-AC-3 stream, LPCM, two subpicture streams of six units in two packs each),
// damaged one way per row. Each row runs `demux --mkv` (or `--matroska` without mkvmerge) and
// checks what survives from outside: ffprobe counts the subtitles shown in each PGS file and
// sees their times never go back, the option file lists the usable streams only, and mkvmerge
// makes the MKV from them. Skipped without ffmpeg.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>

#include "cli/process.h"
#include "io/file_io.h"
#include "evo_builder.h"
#include "subpicture_encoder.h"
#include "support/shell_output.h"
#include "support/temp_dir.h"

namespace tarnwell::testing {
namespace {

using fixture::Bytes;
using fixture::StreamRef;

constexpr std::uint64_t kVideoPts = 90000;
constexpr int kUnits = 6;

enum class Damage {
    None,
    StraySubpictureId,  // the first pack of unit 3 of sub01 under id 0x35 (stream 21)
    SizeOneTooLarge,    // unit 2 of sub00
    SizeFarTooLarge,    // unit 1 of sub00: swallows the rest of the stream
    StartMovedBack,     // unit 3 of sub00 a second before unit 2
    PackDropped,        // the second pack of unit 2 of sub00
    PackDuplicated,     // the second pack of unit 2 of sub00, twice
    LpcmFormatInvalid,  // quantisation 3 in every LPCM header
    StrayAudioPackets,  // three packs of no audio under DD+ id 0xC2
    Truncated,          // the file ends inside the last unit of sub01
};

Bytes unit(int stream, int k, std::uint32_t sizeDelta = 0) {
    fixture::SubpictureSpec s;
    s.x = 300, s.y = 900 + 60 * stream, s.width = 700, s.height = 40;
    s.pixels = fixture::subpicturePattern(s.width, s.height, 4, std::uint32_t(10 * stream + k));
    for (int i = 0; i < 256; ++i) s.palette.insert(s.palette.end(), {std::uint8_t(i), 128, 128});
    s.alpha.assign(256, 0);
    s.stopDelay = 60;
    Bytes bytes = fixture::encodeSubpictureUnit(s);
    const std::uint32_t size = std::uint32_t(bytes.size()) + sizeDelta;
    for (int i = 0; i < 4; ++i) bytes[2 + i] = std::uint8_t(size >> (24 - 8 * i));
    return bytes;
}

Bytes disc(Damage damage, const Bytes& eac3) {
    fixture::PackWriter w;
    w.navPack(2, 1);
    const auto video = fixture::vc1Frames(kUnits * 24, 600, 7);
    const std::size_t audioStep = eac3.size() / (kUnits * 4);
    const fixture::LpcmHeader lpcm = {
        0, std::uint8_t(damage == Damage::LpcmFormatInvalid ? 0xC1 : 0x01), 0x80};
    for (int k = 0; k < kUnits; ++k) {
        const std::uint64_t second = kVideoPts + 90000 * std::uint64_t(k);
        w.write(StreamRef::vc1(0),
                std::span(video).subspan(video.size() * k / kUnits, video.size() / kUnits), second);
        for (int q = 0; q < 4; ++q) {
            const std::uint64_t pts = second + 22500 * std::uint64_t(q) + 9000;  // 100 ms late
            w.write(StreamRef::ddplus(0),
                    std::span(eac3).subspan(audioStep * (4 * k + q), audioStep), pts);
            w.write(StreamRef::lpcm(1, lpcm), fixture::noisePayload(1920, std::uint64_t(4 * k + q)),
                    pts);
        }
        if (damage == Damage::StrayAudioPackets && k == 2)
            for (int n = 0; n < 3; ++n)
                w.write(StreamRef::ddplus(2), fixture::randomPayload(600, n), second);
        for (int stream = 0; stream < 2; ++stream) {
            const bool hit = stream == 0;
            std::uint32_t delta = 0;
            if (hit && k == 2 && damage == Damage::SizeOneTooLarge) delta = 1;
            if (hit && k == 1 && damage == Damage::SizeFarTooLarge) delta = 1 << 20;
            const Bytes bytes = unit(stream, k, delta);
            std::uint64_t pts = second + 4500;
            if (hit && k == 3 && damage == Damage::StartMovedBack) pts -= 2 * 90000;
            const StreamRef ref = StreamRef::sub(stream);
            // Two packs a unit, the second without a time stamp.
            const std::size_t first =
                std::min(fixture::PackWriter::packCapacity(ref, true), bytes.size() / 2);
            StreamRef firstRef = ref;
            if (stream == 1 && k == 3 && damage == Damage::StraySubpictureId)
                firstRef = StreamRef::sub(0x15);
            w.write(firstRef, std::span(bytes).first(first), pts);
            const auto rest = std::span(bytes).subspan(first);
            const bool second2 = hit && k == 2;
            if (!(second2 && damage == Damage::PackDropped)) w.write(ref, rest);
            if (second2 && damage == Damage::PackDuplicated) w.write(ref, rest);
            if (damage == Damage::Truncated && k == kUnits - 1 && stream == 1)
                return Bytes(w.bytes().begin(), w.bytes().end() - 1900);
        }
    }
    return w.take();
}

struct Row {
    const char* what;
    Damage damage;
    int shown[2];                     // units shown in sub00 and sub01
    std::vector<std::string> listed;  // file endings the option file names as tracks
    const char* line;                 // a line the demux must log, or empty
};

const std::vector<std::string> kAll = {".vc1", ".eac3", ".wav", "Subpicture.00.sup",
                                       "Subpicture.01.sup"};

TEST(DamagedDiscTest, OneDamagedUnitCostsOneUnitAndOneBadStreamCostsOneTrack) {
    if (!onPath("ffmpeg") || !onPath("ffprobe")) GTEST_SKIP() << "no ffmpeg";
    const bool mkvmerge = onPath("mkvmerge");
    TempDir dir;
    shellOutput(
        "ffmpeg -v error -f lavfi -i sine=duration=6:sample_rate=48000 -ac 2 -c:a eac3 "
        "-f eac3 '" +
        dir.file("source.eac3") + "'");
    const Bytes eac3 = readFile(dir.file("source.eac3"));
    const std::vector<std::string> noWav = {".vc1", ".eac3", "Subpicture.00.sup",
                                            "Subpicture.01.sup"};
    const Row rows[] = {
        {"undamaged", Damage::None, {6, 6}, kAll, ""},
        {"stray subpicture id",
         Damage::StraySubpictureId,
         {6, 5},
         kAll,
         "Subpicture stream 21 has no check box: it cannot be chosen and is not written."},
        {"size one too large", Damage::SizeOneTooLarge, {5, 6}, kAll, ""},
        {"size far too large", Damage::SizeFarTooLarge, {5, 6}, kAll, ""},
        {"start moved back",
         Damage::StartMovedBack,
         {5, 6},
         kAll,
         "starts before the unit before it)"},
        {"pack dropped", Damage::PackDropped, {5, 6}, kAll, ""},
        {"pack duplicated", Damage::PackDuplicated, {6, 6}, kAll, ""},
        {"LPCM format invalid",
         Damage::LpcmFormatInvalid,
         {6, 6},
         noWav,
         ": empty, removed and left out of the mkvmerge option file."},
        {"stray audio packets",
         Damage::StrayAudioPackets,
         {6, 6},
         kAll,
         "DD+.stream.02: no AC-3 or E-AC-3 frame, left out of the mkvmerge option file."},
        {"truncated", Damage::Truncated, {6, 5}, kAll, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const auto folder = dir.path() / "disc";
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder / "out");
        const auto evo = (folder / "FEATURE_1.EVO").string();
        writeFile(evo, disc(row.damage, eac3));

        const auto json = runProgram("tarnwell-cli", {"read", "--json", evo});
        ASSERT_EQ(json.status, 0) << json.err;
        const auto streams = nlohmann::json::parse(json.out)["streams"];
        EXPECT_EQ(streams.back()["slot"].is_null(), row.damage == Damage::StraySubpictureId);

        const auto result = runProgram(
            "tarnwell-cli", {"demux", mkvmerge ? "--mkv" : "--matroska", "-o", "out", evo},
            folder.string());
        ASSERT_EQ(result.status, 0) << result.out << result.err;
        if (*row.line) {
            EXPECT_NE(result.out.find(row.line), std::string::npos) << result.out;
        }
        std::vector<std::string> listed;
        const auto optionBytes = readFile((folder / "out/FEATURE_1.mkvmerge.json").string());
        const auto options = nlohmann::json::parse(optionBytes.begin(), optionBytes.end());
        for (std::size_t i = 1; i < options.size(); ++i)
            if (options[i - 1] != "--output" && options[i].get<std::string>().starts_with("/"))
                listed.push_back(options[i]);
        ASSERT_EQ(listed.size(), row.listed.size()) << options.dump(1);
        for (std::size_t i = 0; i < listed.size(); ++i) {
            EXPECT_TRUE(listed[i].ends_with(row.listed[i])) << listed[i];
            EXPECT_TRUE(std::filesystem::file_size(listed[i]) > 0) << listed[i];
        }
        for (int s = 0; s < 2; ++s) {
            const auto sup =
                (folder / ("out/FEATURE_1.Subpicture.0" + std::to_string(s) + ".sup")).string();
            const auto frames = nlohmann::json::parse(shellOutput(
                "ffprobe -v error -show_frames -show_entries frame=pts,num_rects -of json '" + sup +
                "'"))["frames"];
            int shown = 0;
            std::int64_t last = -1;
            for (const auto& frame : frames) {
                EXPECT_GE(frame["pts"].get<std::int64_t>(), last) << frame;
                last = frame["pts"];
                shown += frame["num_rects"].get<int>() > 0;
            }
            EXPECT_EQ(shown, row.shown[s]) << "sub0" << s;
        }
        if (mkvmerge) {
            const auto info = nlohmann::json::parse(
                shellOutput("mkvmerge -J '" + (folder / "out/FEATURE_1.mkv").string() + "'"));
            EXPECT_EQ(info["tracks"].size(), row.listed.size());
        }
    }
}

}  // namespace
}  // namespace tarnwell::testing
