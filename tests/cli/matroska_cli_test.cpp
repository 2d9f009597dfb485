// `demux --mkv` on a generated two-part title, checked from outside: mkvmerge (run by the
// program on its option file) must give one track per stream with its codec, name, language
// and start offset, and the playlist's chapters; ffmpeg must decode each WAV file to the same
// samples as its own decoder reads from the EVO files. Skipped without mkvmerge or ffmpeg.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/process.h"
#include "io/file_io.h"
#include "evo_builder.h"
#include "subpicture_encoder.h"
#include "support/shell_output.h"
#include "support/temp_dir.h"

namespace tarnwell::testing {
namespace {

struct Stream {
    fixture::StreamRef ref;
    std::string source;  // ffmpeg's encoder and format; empty: LPCM noise
    int delayMs;
    double frameMs;  // a negative delay cuts whole frames: the track starts within one
    const char* codecId;
    const char* name;
    const char* language;
};

const std::string kPlaylist = R"(<Playlist displayName="DISC"><MediaAttributeList>
<VideoAttributeItem index="1" codec="VC-1"/>
<AudioAttributeItem index="1" codec="DD+"/><AudioAttributeItem index="2" codec="MLP"/>
<AudioAttributeItem index="3" codec="LPCM"/><AudioAttributeItem index="4" codec="DTS-HD"/>
<AudioAttributeItem index="5" codec="LPCM"/>
</MediaAttributeList><TitleSet timeBase="50fps">
<Title id="MAIN" titleNumber="1" displayName="The &amp; Feature">
<TrackNavigationList><AudioTrack track="2" langcode="de:00"/></TrackNavigationList>
<PrimaryAudioVideoClip titleTimeBegin="00:00:10:00" src="file:///dvddisc/HVDVD_TS/FEATURE_1.MAP">
<Video track="1" mediaAttr="1"/>
<Audio track="1" streamNumber="1" mediaAttr="1" langcode="en:00" description="English"/>
<Audio track="2" streamNumber="2" mediaAttr="2" langcode="en:01" description="Commentary"/>
<Audio track="3" streamNumber="3" mediaAttr="3" langcode="fr:00" description="Stereo"/>
<Audio track="4" streamNumber="4" mediaAttr="4" description="Surround"/>
<Audio track="5" streamNumber="5" mediaAttr="5" langcode="ja:00" description="M &amp; E"/>
<Subtitle track="1" streamNumber="1" mediaAttr="1" langcode="it:00" description="Italian"/>
</PrimaryAudioVideoClip>
<ChapterList><Chapter titleTimeBegin="00:00:05:00" displayName="Before"/>
<Chapter titleTimeBegin="00:00:10:00" displayName="Start"/>
<Chapter titleTimeBegin="00:00:11:25" displayName="Half &lt;more&gt;"/></ChapterList>
</Title></TitleSet></Playlist>
)";

TEST(MatroskaCliTest, MkvmergeAndFfmpegReadTheDemuxedTitle) {
    if (std::system("mkvmerge --version >/dev/null 2>&1 && ffmpeg -version >/dev/null 2>&1"))
        GTEST_SKIP() << "no mkvmerge or ffmpeg";
    TempDir dir;
    const std::vector<Stream> streams = {
        {fixture::StreamRef::ddplus(0), "eac3 -f eac3", -120, 32, "A_EAC3", "English", "eng"},
        {fixture::StreamRef::mlp(1), "truehd -strict -2 -f truehd", 40, 0, "A_TRUEHD", "Commentary",
         "ger"},
        {fixture::StreamRef::lpcm(2, {0, 0x01, 0x80}), "", 0, 0, "A_PCM/INT/LIT", "Stereo", "fre"},
        {fixture::StreamRef::dtshd(3), "dca -strict -2 -f dts", -30, 512 / 48.0, "A_DTS",
         "Surround", "und"},
        {fixture::StreamRef::lpcm(4, {0, 0x85, 0x80}), "", 20, 0, "A_PCM/INT/LIT", "M & E", "jpn"},
    };
    // Two seconds of each stream, split over FEATURE_1.EVO and FEATURE_2.EVO.
    const auto video = fixture::vc1Frames(48, 4000, 5);
    fixture::PackWriter parts[2];
    parts[0].navPack(5, 1);
    parts[1].navPack(5, 1);
    constexpr std::uint64_t kVideoPts = 90000;
    for (int part = 0; part < 2; ++part)
        parts[part].write(fixture::StreamRef::vc1(0),
                          std::span(video).subspan(part * video.size() / 2, video.size() / 2),
                          kVideoPts + part * 90000);
    for (std::size_t i = 0; i < streams.size(); ++i) {
        const auto& s = streams[i];
        const std::string file = dir.file("source" + std::to_string(i));
        fixture::Bytes payload;
        if (s.source.empty()) {
            const int bytes = s.ref.lpcmHeader[1] & 0x80 ? 3 * 6 : 2 * 2;
            payload = fixture::noisePayload(96000 * bytes, i);
        } else {
            shellOutput(
                "ffmpeg -v error -f lavfi -i sine=duration=2:sample_rate=48000 -ac 2 -c:a " +
                s.source + " '" + file + "' 2>&1");
            payload = readFile(file);
        }
        // Whole LPCM blocks in each packet, as a disc has them (ffmpeg drops a packet without).
        const std::size_t step =
            s.source.empty() ? fixture::PackWriter::packCapacity(s.ref, true) / 36 * 36 : 1 << 30;
        const std::size_t half = payload.size() / 2 / 36 * 36;
        for (int part = 0; part < 2; ++part) {
            const auto piece =
                std::span(payload).subspan(part ? half : 0, part ? payload.size() - half : half);
            for (std::size_t at = 0; at < piece.size(); at += step)
                parts[part].write(
                    s.ref, piece.subspan(at, std::min(step, piece.size() - at)),
                    at ? std::nullopt
                       : std::optional<std::uint64_t>(kVideoPts + s.delayMs * 90 + part * 90000));
        }
    }
    // A subpicture unit in each file, shown half a second after each file's first picture.
    for (int part = 0; part < 2; ++part) {
        fixture::SubpictureSpec unit;
        unit.x = 200, unit.y = 900, unit.width = 400, unit.height = 40;
        unit.pixels = fixture::subpicturePattern(unit.width, unit.height, 4, part);
        for (int i = 0; i < 256; ++i)
            unit.palette.insert(unit.palette.end(), {std::uint8_t(i), 128, 128});
        unit.alpha.assign(256, 0);
        unit.stopDelay = 40;
        parts[part].write(fixture::StreamRef::sub(0), fixture::encodeSubpictureUnit(unit),
                          kVideoPts + 45000 + part * 90000);
    }
    std::filesystem::create_directories(dir.path() / "HVDVD_TS");
    std::filesystem::create_directories(dir.path() / "out");
    writeFile(dir.file("HVDVD_TS/FEATURE_1.EVO"), parts[0].bytes());
    writeFile(dir.file("HVDVD_TS/FEATURE_2.EVO"), parts[1].bytes());
    writeTextFile(dir.file("MAIN.XPL"), kPlaylist);

    const auto demux = [&] {
        return runProgram("tarnwell-cli",
                          {"demux", "--mkv", "--xpl", dir.file("MAIN.XPL"), "-o", "out",
                           dir.file("HVDVD_TS/FEATURE_1.EVO")},
                          dir.path().string());
    };
    // Without mkvmerge on PATH the job fails before it creates any file.
    const std::string path = std::getenv("PATH");
    ::setenv("PATH", dir.file("out").c_str(), 1);
    const auto missing = demux();
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "mkvmerge not found\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "out"));

    const auto result = demux();
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    for (const auto* line : {"Audio stream 00 delay: -120 ms.", "Audio stream 03 delay: -30 ms."})
        EXPECT_NE(result.out.find(line), std::string::npos) << line;
    const auto mkv = dir.file("out/FEATURE_1_2.mkv");
    const auto info = nlohmann::json::parse(shellOutput("mkvmerge -J '" + mkv + "'"));
    EXPECT_EQ(info["container"]["properties"]["title"], "The & Feature");
    const auto& tracks = info["tracks"];
    ASSERT_EQ(tracks.size(), streams.size() + 2) << result.out;
    // The subpictures, as PGS, come last, timed like the video (no delay of their own).
    const auto& subtitles = tracks[streams.size() + 1]["properties"];
    EXPECT_EQ(subtitles["codec_id"], "S_HDMV/PGS");
    EXPECT_EQ(subtitles["track_name"], "Italian");
    EXPECT_EQ(subtitles["language"], "ita");
    EXPECT_EQ(tracks[0]["properties"]["codec_id"], "V_MS/VFW/FOURCC");
    const auto starts =
        shellOutput("ffprobe -v error -show_entries stream=start_time -of csv=p=0 '" + mkv + "'");
    std::istringstream startLines(starts);
    double start = 0;
    startLines >> start;
    for (std::size_t i = 0; i < streams.size(); ++i) {
        const auto& s = streams[i];
        const auto& track = tracks[i + 1]["properties"];
        EXPECT_EQ(track["codec_id"], s.codecId) << i;
        EXPECT_EQ(track["track_name"], s.name) << i;
        EXPECT_EQ(track["language"], s.language) << i;
        ASSERT_TRUE(startLines >> start) << starts;
        const double expected =
            s.delayMs >= 0 ? s.delayMs : s.delayMs + std::ceil(-s.delayMs / s.frameMs) * s.frameMs;
        EXPECT_NEAR(start * 1000, expected, 0.1) << s.name;
    }
    EXPECT_EQ(shellOutput("mkvextract '" + mkv + "' chapters --simple -"),
              "CHAPTER01=00:00:00.000\nCHAPTER01NAME=Start\n"
              "CHAPTER02=00:00:01.500\nCHAPTER02NAME=Half <more>\n");

    // The WAV files hold what ffmpeg decodes from the two EVO files played one after the other.
    const auto evos = "cat '" + dir.file("HVDVD_TS/FEATURE_1.EVO") + "' '" +
                      dir.file("HVDVD_TS/FEATURE_2.EVO") + "' | ffmpeg -v error -f mpeg -i - ";
    const auto pcm = " -f s32le -c:a pcm_s32le - 2>/dev/null";
    int wavs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path() / "out")) {
        const auto name = entry.path().filename().string();
        if (!name.ends_with(".wav")) continue;
        const auto id = name.find("DELAY") == std::string::npos ? "0xa2" : "0xa4";
        const auto fromWav =
            shellOutput("ffmpeg -v error -i '" + entry.path().string() + "'" + pcm);
        EXPECT_EQ(fromWav.size(), id == std::string("0xa2") ? 96000u * 2 * 4 : 96000u * 6 * 4);
        EXPECT_TRUE(fromWav == shellOutput(evos + "-map 0:i:" + id + pcm)) << name;
        ++wavs;
    }
    EXPECT_EQ(wavs, 2);
}

}  // namespace
}  // namespace tarnwell::testing
