// mkvmerge (a checker only; skipped when absent) runs the option file from another folder and
// writes the Matroska file it describes: tracks with their codecs, names, languages and
// delays, the title, and the chapters file as mkvextract gives it back.

#include "formats/mkvmerge_options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "formats/lpcm_wav.h"
#include "evo_builder.h"
#include "jobs/output_naming.h"
#include "formats/matroska_chapters.h"
#include "support/shell_output.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

std::string output(const std::string& command) {
    return testing::shellOutput(command, 1);
}

TEST(MkvmergeOptionsTest, MkvmergeWritesTheDescribedFile) {
    if (std::system("mkvmerge --version >/dev/null 2>&1 && ffmpeg -version >/dev/null 2>&1"))
        GTEST_SKIP() << "no mkvmerge or ffmpeg";
    testing::TempDir dir;
    testing::CurrentFolder here(dir.path());
    const std::string base = outputBase("", "FEATURE_1");

    // One second of 24-bit 5.1 LPCM as WAV, one second of AC-3 from ffmpeg.
    const auto wav = delayedStreamFileName(base, "LPCM.stream.00", 40, "wav");
    OutputFile out;
    out.create(wav);
    RecordingSink sink;
    LpcmWavWriter writer(out, sink, "LPCM");
    const auto samples = fixture::noisePayload(48000 * 6 * 3, 7);
    const std::uint8_t header[3] = {0x00, 0x85, 0x80};
    for (std::size_t at = 0; at < samples.size(); at += 2000)
        writer.feed(
            std::span(samples).subspan(at, std::min<std::size_t>(2000, samples.size() - at)), true,
            header);
    writer.finish();
    out.close();
    const auto ac3 = delayedStreamFileName(base, "DD.stream.01", -120, "ac3");
    output("ffmpeg -v error -f lavfi -i sine=duration=1:sample_rate=48000 -c:a ac3 '" + ac3 +
           "' 2>&1");

    const auto chapters = chaptersFileName(base);
    writeTextFile(chapters,
                  matroskaChaptersXml({{0, "Opening & <Titles>"}, {61'500'000'000, "Zw\u00f6lf"}}));
    const auto options = mkvmergeOptionFileName(base);
    writeMkvmergeOptionFile(options, {matroskaFileName(base),
                                      "Feature",
                                      chapters,
                                      {{wav, "de", "Dub \"2\"", 40}, {ac3, "", "", -120}}});

    const auto mkv = fullPath(matroskaFileName(base));
    output("cd / && mkvmerge -q @'" + fullPath(options) + "' 2>&1");
    const auto info = nlohmann::json::parse(output("mkvmerge -J '" + mkv + "'"));
    EXPECT_EQ(info["container"]["properties"]["title"], "Feature");
    const auto& tracks = info["tracks"];
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(tracks[0]["properties"]["codec_id"], "A_PCM/INT/LIT");
    EXPECT_EQ(tracks[0]["properties"]["audio_channels"], 6);
    EXPECT_EQ(tracks[0]["properties"]["language"], "ger");
    EXPECT_EQ(tracks[0]["properties"]["track_name"], "Dub \"2\"");
    EXPECT_EQ(tracks[1]["properties"]["codec_id"], "A_AC3");
    EXPECT_EQ(tracks[1]["properties"]["language"], "und");
    EXPECT_FALSE(tracks[1]["properties"].contains("track_name"));

    EXPECT_EQ(output("mkvextract '" + mkv + "' chapters --simple - 2>&1"),
              "CHAPTER01=00:00:00.000\nCHAPTER01NAME=Opening & <Titles>\n"
              "CHAPTER02=00:01:01.500\nCHAPTER02NAME=Zw\u00f6lf\n");
    // The WAV track starts 40 ms late; the AC-3 track loses its first 120 ms, so its first
    // kept frame (32 ms each) starts 8 ms in.
    double wavStart = 0, ac3Start = 0;
    const auto starts =
        output("ffprobe -v error -show_entries stream=start_time -of csv=p=0 '" + mkv + "'");
    ASSERT_EQ(std::sscanf(starts.c_str(), "%lf %lf", &wavStart, &ac3Start), 2) << starts;
    EXPECT_NEAR(wavStart, 0.040, 1e-4);
    EXPECT_NEAR(ac3Start, 0.008, 1e-4);
}

}  // namespace
}  // namespace tarnwell
