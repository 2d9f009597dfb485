// The title job end to end with the real mkvmerge: one title over two EVO files whose time
// stamps start again in the second, one over two whose time stamps run on, one of a single
// EVO, and one whose EVO is missing. mkvmerge -J, mkvextract and ffprobe (decoding the PGS
// tracks) check what each Matroska file holds. Skipped without mkvmerge, ffmpeg or ffprobe.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "jobs/job_fixture.h"
#include "support/shell_output.h"
#include "support/test_clip.h"

namespace tarnwell::testing {
namespace {

constexpr std::int64_t kSecond = 1000000000;

struct Expected {
    std::string file;
    std::string title;
    std::vector<std::string> codecs, names, languages;
    std::string chapters;           // mkvextract's simple form
    std::vector<double> subtitles;  // seconds on the title
    std::vector<SeamFigure> seams;
};

class TitleMkvJobTest : public JobFixture {
  protected:
    TitlePlan plan(int number, std::string name, const std::vector<std::string>& evos) {
        TitlePlan title{number, std::move(name), {}, {{1, "English", "en"}}, {{1, "Italian", "it"}},
                        {}};
        for (std::size_t i = 0; i < evos.size(); ++i)
            title.clips.push_back({disc(evos[i]), static_cast<std::int64_t>(i) * 2 * kSecond, 0});
        return title;
    }
};

TEST_F(TitleMkvJobTest, OneMatroskaFilePerTitleOnTheTitlesTimeLine) {
    if (!onPath("mkvmerge") || !onPath("ffmpeg") || !onPath("ffprobe"))
        GTEST_SKIP() << "no mkvmerge, ffmpeg or ffprobe";
    writeTestClip(disc("A_1.EVO"), {90000, 48, {0.5}});
    writeTestClip(disc("A_2.EVO"), {90000, 48, {0.5, 1.5}});  // starts again
    writeTestClip(disc("B_1.EVO"), {90000, 48, {1.0}});
    writeTestClip(disc("B_2.EVO"), {90000 + 180000, 48, {0.25}});  // runs on
    writeTestClip(disc("C.EVO"), {5000, 48, {0.75}, true});
    // Long enough for "Fast EVO checking" to end its Read EVO early (a hole reads as zeros).
    std::filesystem::resize_file(disc("C.EVO"), 310000000);

    std::vector<TitlePlan> titles = {plan(1, "Feature: Part 1/2", {"A_1.EVO", "A_2.EVO"}),
                                     plan(2, "Feature: Part 1/2", {"B_1.EVO", "B_2.EVO"}),
                                     plan(3, "", {"C.EVO"}), plan(4, "Lost", {"GONE.EVO"})};
    titles[0].chapters = {{0, "Start"}, {3 * kSecond / 2, "Middle"}, {5 * kSecond / 2, "Part 2"}};
    titles[0].subtitles.push_back({2, "French", "fr"});  // not in the files
    titles[2].clips[0].clipBeginNs = kSecond;

    // Without mkvmerge on PATH nothing is made, not even the output folder.
    const std::string path = std::getenv("PATH");
    ::setenv("PATH", out("").c_str(), 1);
    std::vector<TitleMkvResult> results;
    EXPECT_EQ(run([&] {
                  return commands.makeTitleMkvs(titles, {out("mkv"), false, {}}, results);
              }),
              "mkvmerge not found");
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_FALSE(std::filesystem::exists(out("mkv")));

    ASSERT_EQ(run([&] {
                  return commands.makeTitleMkvs(titles, {out("mkv"), false, {}}, results);
              }),
              "");
    const auto log = [&] {
        std::string text;
        for (const auto& line : sink.lines) text += line + "\n";
        return text;
    }();
    for (const auto* line : {"Subpicture stream 01 of the title is not in A_1.EVO: left out.",
                             "Audio stream 01 of C.EVO is not one of the title's: left out.",
                             "Warning: the title plays C.EVO from 00:00:01.000 on; the whole file "
                             "is taken.",
                             "Seam 1, DD+.stream.00: overlap 16 ms."})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    ASSERT_EQ(results.size(), 4u);
    EXPECT_NE(results[3].error.find("GONE.EVO"), std::string::npos) << results[3].error;
    EXPECT_EQ(outputNames(), (std::vector<std::string>{"mkv"}));

    // 48 frames of 1/24 s against 63 audio frames of 32 ms: the audio runs 16 ms over.
    const std::vector<SeamFigure> seams = {{1, SlotKind::Video, 0, 0},
                                           {1, SlotKind::Audio, 0, -16}};
    const std::vector<std::string> codecs = {"V_MS/VFW/FOURCC", "A_EAC3", "S_HDMV/PGS"};
    const std::vector<Expected> expected = {
        {"Feature_ Part 1_2.mkv",
         "Feature: Part 1/2",
         codecs,
         {"", "English", "Italian"},
         {"und", "eng", "ita"},
         "CHAPTER01=00:00:00.000\nCHAPTER01NAME=Start\nCHAPTER02=00:00:01.500\n"
         "CHAPTER02NAME=Middle\nCHAPTER03=00:00:02.500\nCHAPTER03NAME=Part 2\n",
         {0.5, 2.5, 3.5},
         seams},
        {"Feature_ Part 1_2 (2).mkv",
         "Feature: Part 1/2",
         codecs,
         {"", "English", "Italian"},
         {"und", "eng", "ita"},
         "",
         {1.0, 2.25},
         seams},
        {"Title 3.mkv",
         "",
         codecs,
         {"", "English", "Italian"},
         {"und", "eng", "ita"},
         "",
         {0.75},
         {}},
    };
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(out("mkv")))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"Feature_ Part 1_2 (2).mkv", "Feature_ Part 1_2.mkv",
                                               "Title 3.mkv"}));
    for (std::size_t t = 0; t < expected.size(); ++t) {
        const auto& want = expected[t];
        SCOPED_TRACE(want.file);
        EXPECT_TRUE(results[t].done()) << results[t].error;
        EXPECT_EQ(results[t].seams, want.seams);
        const auto mkv = out("mkv/" + want.file);
        const auto info = nlohmann::json::parse(shellOutput("mkvmerge -J '" + mkv + "'"));
        EXPECT_EQ(info["container"]["properties"].value("title", ""), want.title);
        const auto& tracks = info["tracks"];
        ASSERT_EQ(tracks.size(), want.codecs.size());
        for (std::size_t i = 0; i < tracks.size(); ++i) {
            EXPECT_EQ(tracks[i]["properties"]["codec_id"], want.codecs[i]) << i;
            EXPECT_EQ(tracks[i]["properties"].value("track_name", ""), want.names[i]) << i;
            EXPECT_EQ(tracks[i]["properties"]["language"], want.languages[i]) << i;
        }
        EXPECT_EQ(shellOutput("mkvextract '" + mkv + "' chapters --simple -"), want.chapters);
        // The PGS decoder's subtitles that show something, at their start.
        std::istringstream shown(
            shellOutput("ffprobe -v error -select_streams s -show_frames -show_entries "
                        "subtitle=pts_time,num_rects -of csv=p=0 '" +
                        mkv + "'"));
        std::vector<double> times;
        for (std::string line; std::getline(shown, line);)
            if (line.find(',') != std::string::npos && !line.ends_with(",0"))
                times.push_back(std::stod(line));
        ASSERT_EQ(times.size(), want.subtitles.size()) << shown.str();
        for (std::size_t i = 0; i < times.size(); ++i)
            EXPECT_NEAR(times[i], want.subtitles[i], 0.5 / 24) << i;
    }
}

// Cancel while mkvmerge writes: neither the unfinished Matroska file nor the work folder stays,
// and the titles after it do not run; with `keepFiles`, a finished title keeps its work folder.
TEST_F(TitleMkvJobTest, CancelLeavesNoUnfinishedFile) {
    if (!onPath("mkvmerge") || !onPath("ffmpeg")) GTEST_SKIP() << "no mkvmerge or ffmpeg";
    writeTestClip(disc("C.EVO"), {90000, 48, {0.5}});
    const std::vector<TitlePlan> titles = {plan(1, "One", {"C.EVO"}), plan(2, "Two", {"C.EVO"})};
    std::vector<TitleMkvResult> results;
    ASSERT_EQ(run([&] {
                  return commands.makeTitleMkvs(titles, {out(""), true, {}}, results);
              }),
              "");
    EXPECT_EQ(outputNames(), (std::vector<std::string>{".tarnwell-title-1", ".tarnwell-title-2",
                                                       "One.mkv", "Two.mkv"}));
    std::filesystem::remove_all(dir.path() / "out");
    host.onProcessEvents = [&] {
        if (sink.lines.back().starts_with("Running ")) commands.bCancelClick();
    };
    ASSERT_EQ(run([&] {
                  return commands.makeTitleMkvs(titles, {out(""), false, {}}, results);
              }),
              "");
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(results[0].cancelled);
    EXPECT_EQ(outputNames(), std::vector<std::string>{});
}

}  // namespace
}  // namespace tarnwell::testing
