// The README's commands on the sample disc, checked from outside: each title's MKV must hold
// every track with the playlist's name and language, last as long as the playlist says, start
// the delayed track late, and decode in ffmpeg without an error. Skipped without mkvmerge,
// ffmpeg or ffprobe.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/process.h"
#include "support/shell_output.h"
#include "support/temp_dir.h"

namespace tarnwell::testing {
namespace {

struct Track {
    std::string codecId, name, language;
    double start;  // seconds, as ffprobe reads it
};

struct Title {
    std::string evo, base;
    std::vector<Track> tracks;
};

// Seconds of a playlist time HH:MM:SS:FF at 24 frames a second.
double seconds(const std::string& time) {
    int h = 0, m = 0, s = 0, f = 0;
    std::sscanf(time.c_str(), "%d:%d:%d:%d", &h, &m, &s, &f);
    return h * 3600 + m * 60 + s + f / 24.0;
}

TEST(SampleDiscTest, EveryTitleBecomesAnMkvThatPlays) {
    if (!onPath("mkvmerge") || !onPath("ffmpeg") || !onPath("ffprobe"))
        GTEST_SKIP() << "no mkvmerge, ffmpeg or ffprobe";
    TempDir dir;
    const auto run = [&](const std::vector<std::string>& arguments) {
        const auto result =
            runProgram(arguments[0], {arguments.begin() + 1, arguments.end()}, dir.path().string());
        EXPECT_EQ(result.status, 0) << result.out << result.err;
        return result;
    };
    const std::string xpl = "sample/ADV_OBJ/VPLST000.XPL";
    const std::string feature = "sample/HVDVD_TS/FEATURE_1.EVO";
    run({"tarnwell-sample", "sample"});
    std::filesystem::create_directories(dir.path() / "out");
    run({"tarnwell-cli", "read", feature});
    run({"tarnwell-cli", "demux", "-o", "out", "--drop", "sub01", feature});
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "out/FEATURE_1_2.H.264.stream.0.mpv"));

    const Title titles[] = {
        {"TRAILER", "TRAILER", {{"V_MPEG2", "", "und", 0}, {"A_AC3", "English", "eng", 0}}},
        {"FEATURE_1",
         "FEATURE_1_2",
         {{"V_MPEG4/ISO/AVC", "", "und", 0},
          {"A_EAC3", "English", "eng", 0},
          {"A_PCM/INT/LIT", "Commentary", "eng", 0.5},
          {"S_HDMV/PGS", "English", "eng", 1},
          {"S_HDMV/PGS", "French", "fre", 1}}},
        {"BONUS", "BONUS", {{"V_MPEG2", "", "und", 0}, {"A_AC3", "English", "eng", 0}}},
    };
    for (const auto& title : titles) {
        SCOPED_TRACE(title.evo);
        const std::string evo = "sample/HVDVD_TS/" + title.evo + ".EVO";
        run({"tarnwell-cli", "xpl", "--evo", evo, "--tree", "out/tree.txt", xpl});
        const auto tree = readFile(dir.file("out/tree.txt"));
        const std::string text(tree.begin(), tree.end());
        const auto duration = text.find("Duration: ");
        ASSERT_NE(duration, std::string::npos) << text;
        run({"tarnwell-cli", "demux", "--mkv", "--xpl", xpl, "-o", "out", evo});
        const std::string mkv = dir.file("out/" + title.base + ".mkv");

        const auto info = nlohmann::json::parse(shellOutput("mkvmerge -J '" + mkv + "'"));
        EXPECT_NEAR(info["container"]["properties"]["duration"].get<double>() / 1e9,
                    seconds(text.substr(duration + 10, 11)), 0.05);
        const auto starts = shellOutput(
            "ffprobe -v error -show_entries stream=start_time "
            "-of csv=p=0 '" +
            mkv + "'");
        std::istringstream startLines(starts);
        ASSERT_EQ(info["tracks"].size(), title.tracks.size());
        for (std::size_t i = 0; i < title.tracks.size(); ++i) {
            const auto& want = title.tracks[i];
            const auto& got = info["tracks"][i]["properties"];
            EXPECT_EQ(got["codec_id"], want.codecId) << i;
            EXPECT_EQ(got.value("track_name", ""), want.name) << i;
            EXPECT_EQ(got["language"], want.language) << i;
            double start = -1;
            startLines >> start;
            EXPECT_NEAR(start, want.start, 0.001) << i;
        }
        // Every stream decoded, the PGS tracks too (ffmpeg decodes them to code them again).
        EXPECT_EQ(shellOutput("ffmpeg -v error -xerror -i '" + mkv +
                              "' -map 0 -c:s dvdsub -f null - 2>&1"),
                  "");
    }
    // The French stream's one forced unit is marked forced in its composition (object flag
    // 0x40), which neither ffprobe nor mkvmerge shows; the English stream has none.
    for (const auto& [name, expected] : {std::pair{"00.English", 0}, std::pair{"01.French", 1}}) {
        const auto sup =
            readFile(dir.file("out/FEATURE_1_2.2bitRLC.stream." + std::string(name) + ".sup"));
        int forced = 0;
        for (std::size_t at = 0; at + 13 <= sup.size();
             at += 13 + (sup[at + 11] << 8 | sup[at + 12]))
            forced += sup[at + 10] == 0x16 && sup[at + 23] == 1 && (sup[at + 27] & 0x40);
        EXPECT_EQ(forced, expected) << name;
    }
    // The delay shows in the name of the commentary's file.
    EXPECT_TRUE(std::filesystem::exists(
        dir.path() / "out/FEATURE_1_2.LPCM.2ch.stream.01.Commentary DELAY 500ms.wav"));
}

}  // namespace
}  // namespace tarnwell::testing
