// `mkv` on the title disc: the titles a command line chooses, one Matroska file each as mkvmerge
// reads it back, the missing title failing alone, the --json report and its seams.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli/process.h"
#include "support/shell_output.h"
#include "support/temp_dir.h"
#include "support/title_disc.h"

namespace tarnwell::testing {
namespace {

using Json = nlohmann::json;

std::vector<std::string> filesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(MkvCliTest, MakesEveryTitleTheDiscHoldsAndNamesTheOneThatFails) {
    if (!onPath("mkvmerge")) GTEST_SKIP() << "mkvmerge is not installed";
    TempDir dir;
    writeTitleDisc(dir.path() / "disc");
    const auto out = dir.path() / "out";
    const auto result = runProgram("tarnwell-cli", {"mkv", "--all", "--json", "-o", out.string(),
                                                    (dir.path() / "disc").string()});
    EXPECT_EQ(result.status, 1) << result.err;  // "Lost Scene" has no EVO file
    EXPECT_NE(result.err.find("Title 4: "), std::string::npos) << result.err;
    const auto report = Json::parse(result.out);
    ASSERT_EQ(report["titles"].size(), 4u);
    EXPECT_EQ(filesIn(out),
              (std::vector<std::string>{"Feature.mkv", "Making Of.mkv", "Trailer.mkv"}));

    struct Want {
        const char* file;
        const char* title;
        std::size_t tracks;
        std::size_t chapters;
        bool seams;
    };
    const Want kWant[] = {{"Feature.mkv", "Feature", 3, 3, true},
                          {"Making Of.mkv", "Making Of", 3, 2, true},
                          // It lists no subtitle: the one found stays out.
                          {"Trailer.mkv", "Trailer", 2, 1, false}};
    for (std::size_t i = 0; i < std::size(kWant); ++i) {
        const auto& want = kWant[i];
        SCOPED_TRACE(want.file);
        const auto& entry = report["titles"][i];
        EXPECT_EQ(entry["status"], "made");
        EXPECT_EQ(entry["file"], (out / want.file).string());
        EXPECT_EQ(!entry["seams"].empty(), want.seams);
        const auto info =
            Json::parse(shellOutput("mkvmerge -J '" + (out / want.file).string() + "'"));
        EXPECT_EQ(info["container"]["properties"]["title"], want.title);
        ASSERT_EQ(info["tracks"].size(), want.tracks);
        EXPECT_EQ(info["tracks"][0]["properties"]["codec_id"], "V_MS/VFW/FOURCC");
        EXPECT_EQ(info["tracks"][1]["properties"]["codec_id"], "A_PCM/INT/LIT");
        if (want.tracks > 2) {
            EXPECT_EQ(info["tracks"][2]["properties"]["codec_id"], "S_HDMV/PGS");
        }
        const auto chapters =
            info["chapters"].empty() ? 0 : info["chapters"][0]["num_entries"].get<std::size_t>();
        EXPECT_EQ(chapters, want.chapters);
    }
    EXPECT_EQ(report["titles"][3]["status"], "failed");
    EXPECT_EQ(report["titles"][0]["seams"][0]["slot"], "video0");
}

TEST(MkvCliTest, ChoosesTheLongestCompleteTitleOrRefusesAnUnknownOne) {
    if (!onPath("mkvmerge")) GTEST_SKIP() << "mkvmerge is not installed";
    TempDir dir;
    writeTitleDisc(dir.path());
    const auto chosen =
        runProgram("tarnwell-cli", {"mkv", "-o", "a", dir.path().string()}, dir.path().string());
    EXPECT_EQ(chosen.status, 0) << chosen.err;
    EXPECT_EQ(filesIn(dir.path() / "a"), (std::vector<std::string>{"Feature.mkv"}));

    const auto unknown =
        runProgram("tarnwell-cli", {"mkv", "--title", "9", "-o", "b", "."}, dir.path().string());
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err, "The disc has no title 9.\n");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "b"));
}

}  // namespace
}  // namespace tarnwell::testing
