// `titles` on the title disc: the JSON document field by field, the same document whichever
// of the disc's folders or its playlist is named, one line per title, and the one-line errors.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli/process.h"
#include "io/file_io.h"
#include "support/temp_dir.h"
#include "support/title_disc.h"

namespace tarnwell::testing {
namespace {

using Json = nlohmann::json;

TEST(TitlesCliTest, ListsEveryTitleOfTheDisc) {
    TempDir dir;
    writeTitleDisc(dir.path());
    const auto result = runProgram("tarnwell-cli", {"titles", "--json", dir.path().string()});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const auto document = Json::parse(result.out);
    const auto size = [&](const char* evo) {
        return Json(std::filesystem::file_size(dir.path() / "HVDVD_TS" / evo));
    };
    const std::pair<const char*, Json> kFields[] = {
        {"/name", "TITLE DISC"},
        {"/playlist", "ADV_OBJ/VPLST000.XPL"},
        {"/titles/0/number", 1},
        {"/titles/0/id", "FEATURE"},
        {"/titles/0/name", "Feature"},
        {"/titles/0/duration_s", 4.0},
        {"/titles/0/clips/0",
         {{"evo", "HVDVD_TS/FEATURE_1.EVO"},
          {"present", true},
          {"size", size("FEATURE_1.EVO")},
          {"title_begin_s", 0.0},
          {"title_end_s", 2.0},
          {"clip_begin_s", 0.0}}},
        {"/titles/0/clips/1/evo", "HVDVD_TS/FEATURE_2.EVO"},
        {"/titles/0/clips/1/title_begin_s", 2.0},
        {"/titles/0/video", Json::array({{{"track", 1}, {"codec", "VC-1"}}})},
        {"/titles/0/audio", Json::array({{{"stream", 1},
                                          {"slot", "audio00"},
                                          {"codec", "LPCM"},
                                          {"channels", 2},
                                          {"language", "de"},
                                          {"description", "Main"}}})},
        {"/titles/0/subtitles", Json::array({{{"stream", 1},
                                              {"slot", "sub00"},
                                              {"codec", "8bitRLC"},
                                              {"channels", nullptr},
                                              {"language", "fr"},
                                              {"description", "French"}}})},
        {"/titles/0/chapters", Json::array({{{"start_s", 0.0}, {"name", "Opening"}},
                                            {{"start_s", 1.5}, {"name", "Harbour & Town"}},
                                            {{"start_s", 2.0}, {"name", "Second Reel"}}})},
        {"/titles/1/clips/1/size", size("MAKING_2.EVO")},
        {"/titles/1/chapters/1/start_s", 3.25},
        {"/titles/2/clips/0/evo", "HVDVD_TS/trailer.evo"},
        {"/titles/2/chapters/0/start_s", 0.5},  // 30 frames of 60
        {"/titles/2/audio/0/language", "und"},
        {"/titles/3/clips/0",
         {{"evo", "HVDVD_TS/LOST.EVO"},
          {"present", false},
          {"size", nullptr},
          {"title_begin_s", 0.0},
          {"title_end_s", 2.0},
          {"clip_begin_s", 0.0}}},
        {"/titles/3/chapters", Json::array()},
    };
    for (const auto& [pointer, expected] : kFields)
        EXPECT_EQ(document.value(Json::json_pointer(pointer), Json()), expected) << pointer;
    EXPECT_EQ(document["titles"].size(), 4u);

    // The HVDVD_TS folder and the playlist file name the same disc.
    for (const auto& other : {dir.path() / "HVDVD_TS", dir.path() / "ADV_OBJ" / "VPLST000.XPL"})
        EXPECT_EQ(runProgram("tarnwell-cli", {"titles", "--json", other.string()}).out, result.out)
            << other;

    const auto lines = runProgram("tarnwell-cli", {"titles", dir.path().string()}).outLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0],
              "Title 1: \"Feature\", 0:00:04.000, FEATURE_1.EVO + FEATURE_2.EVO, 3 chapters, "
              "audio: de LPCM 2ch \"Main\", subtitles: fr 8bitRLC \"French\"");
    EXPECT_EQ(lines[3],
              "Title 4: \"Lost Scene\", 0:00:02.000, LOST.EVO (missing), 0 chapters, "
              "audio: ja LPCM 2ch \"Japanese\", subtitles: none");

    const auto second = runProgram(
        "tarnwell-cli",
        {"titles", "--json", "--playlist", dir.file("ADV_OBJ/VPLST001.XPL"), dir.path().string()});
    EXPECT_EQ(Json::parse(second.out)["name"], "NOT THE FIRST PLAYLIST");
}

TEST(TitlesCliTest, ABrokenOrMissingPlaylistIsOneLine) {
    TempDir dir;
    writeTitleDisc(dir.path());
    auto broken = titleDiscPlaylist();
    const auto at = broken.find("</ChapterList>");
    broken.replace(at, 14, "</Chapterlist>");
    const auto line = 1 + std::count(broken.begin(), broken.begin() + at, '\n');
    writeTextFile(dir.file("ADV_OBJ/VPLST000.XPL"), broken);
    std::filesystem::create_directory(dir.path() / "empty");
    const std::pair<std::string, std::string> kErrors[] = {
        {dir.path().string(), "VPLST000.XPL: not a playlist: line " + std::to_string(line) +
                                  ": Start-end tags mismatch\n"},
        {dir.file("empty"), dir.file("empty") + ": no playlist: no ADV_OBJ folder\n"},
    };
    for (const auto& [disc, error] : kErrors) {
        const auto result = runProgram("tarnwell-cli", {"titles", "--json", disc});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, error);
    }
}

}  // namespace
}  // namespace tarnwell::testing
