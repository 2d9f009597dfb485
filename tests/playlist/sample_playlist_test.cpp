#include "sample_playlist.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "jobs/read_xpl_job.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

using Lines = std::vector<std::string>;

struct SampleDisc {
    SampleDisc() {
        std::filesystem::create_directories(dir.path() / "HVDVD_TS");
        std::filesystem::create_directories(dir.path() / "ADV_OBJ");
        const auto text = sample::samplePlaylist();
        testing::writeFile(dir.file("ADV_OBJ/VPLST000.XPL"),
                           std::vector<std::uint8_t>(text.begin(), text.end()));
    }

    void read(const std::string& evoName) {
        input.chooseEvo(dir.file("HVDVD_TS/" + evoName), host);
        JobContext job{*state, selection, input, sink, host};
        bReadXPLClick(job, playlist);
    }

    testing::TempDir dir;
    std::unique_ptr<EngineState> state = std::make_unique<EngineState>();
    StreamSelection selection;
    InputChoice input;
    RecordingSink sink;
    BasicHost host;
    PlaylistState playlist;
};

TreeNode branch(const char* text, const Lines& children) {
    TreeNode node{text, {}};
    for (const auto& child : children) node.children.push_back({child, {}});
    return node;
}

const std::vector<TreeNode> kFeatureTree = {
    branch("Info", {"Title: TARNWELL SAMPLE DISC", "Name: Feature", "Duration: 00:00:40:00"}),
    branch("Video", {"H.264.stream.0"}),
    branch("Audio", {"DD+.6ch.stream.00.English", "LPCM.2ch.stream.01.Commentary"}),
    branch("Subtitle", {"2bitRLC.stream.00.English", "2bitRLC.stream.01.French"}),
    branch("Chapter", {"00:00:00:00: Opening Titles", "00:00:10:00: The Harbour",
                       "00:00:18:12: Night Crossing", "00:00:24:00: Second Reel",
                       "00:00:30:00: Homecoming", "00:00:36:00: End Credits"}),
};

TEST(SamplePlaylist, BothFeatureFilesReadIntoTheFeatureTitle) {
    for (const char* evo : {"FEATURE_1.EVO", "FEATURE_2.EVO"}) {
        SampleDisc disc;
        disc.read(evo);
        EXPECT_EQ(disc.playlist.tree, kFeatureTree) << evo;
        EXPECT_EQ(disc.sink.lines,
                  (Lines{"Open VPLST000.XPL",
                         "Filesize: " + std::to_string(sample::samplePlaylist().size()) + " bytes",
                         "H.264.stream.0 found!", "DD+.6ch.stream.00.English found!",
                         "LPCM.2ch.stream.01.Commentary found!", "2bitRLC.stream.00.English found!",
                         "2bitRLC.stream.01.French found!", "Done."}))
            << evo;
        const auto& lines = disc.playlist.tagLines;
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front(),
                  "    <Title id=\"FEATURE_TITLE\" titleNumber=\"2\" displayName=\"Feature\" "
                  "titleDuration=\"00:00:40:00\" type=\"Original\" onEnd=\"PREVIEW_TITLE\">");
        EXPECT_EQ(lines.back(), "    </Title>");
        EXPECT_EQ(disc.selection.Caption(SlotKind::Audio, 1), "LPCM.2ch.stream.01.Commentary");
        EXPECT_EQ(disc.selection.Caption(SlotKind::Subpicture, 1), "2bitRLC.stream.01.French");
        EXPECT_TRUE(disc.selection.IsChecked(SlotKind::Video, 0));
    }
}

TEST(SamplePlaylist, TablesFromTheMediaAttributeList) {
    SampleDisc disc;
    disc.read("FEATURE_1.EVO");
    EXPECT_EQ(disc.playlist.VideoAttr[1], "H.264");
    EXPECT_EQ(disc.playlist.VideoAttr[2], "MPEG-2");
    EXPECT_EQ(disc.playlist.AudioAttr[1], "DD+.6ch");
    EXPECT_EQ(disc.playlist.AudioAttr[2], "LPCM.2ch");
    EXPECT_EQ(disc.playlist.AudioAttr[3], "DD.2ch");
    EXPECT_EQ(disc.playlist.SubAttr[1], "2bitRLC");
    EXPECT_EQ(disc.playlist.SubAttr[2], "8bitRLC");
}

TEST(SamplePlaylist, TheTrailerIsATitleOfItsOwn) {
    SampleDisc disc;
    disc.read("TRAILER.EVO");
    EXPECT_EQ(
        disc.playlist.tree,
        (std::vector<TreeNode>{
            branch("Info", {"Title: TARNWELL SAMPLE DISC", "Name: Theatrical Trailer",
                            "Duration: 00:00:05:00"}),
            branch("Video", {"MPEG-2.stream.0"}), branch("Audio", {"DD.2ch.stream.00.English"}),
            branch("Subtitle", {}), branch("Chapter", {"00:00:00:00: Trailer"})}));
}

}  // namespace
}  // namespace tarnwell
