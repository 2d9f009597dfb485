#include "jobs/read_xpl_job.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "io/file_io.h"
#include "playlist/tag_checks.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

using Lines = std::vector<std::string>;

// Records what a view of the playlist would be told, in order.
class ViewRecorder : public PlaylistObserver {
  public:
    void tagLinesCleared() override { events.push_back("cleared"); }
    void tagLineAdded(const std::string& line) override { events.push_back("add " + line); }
    void tagViewVisible(bool visible) override { events.push_back(visible ? "shown" : "hidden"); }
    void treeChanged() override { events.push_back("tree"); }
    Lines events;
};

// A disc folder with HVDVD_TS and ADV_OBJ, the EVO chosen in HVDVD_TS so that the playlist
// field points at ADV_OBJ/VPLST000.XPL, and the state one program run keeps.
class ReadXplTest : public ::testing::Test {
  protected:
    ReadXplTest() {
        std::filesystem::create_directories(dir.path() / "HVDVD_TS");
        std::filesystem::create_directories(dir.path() / "ADV_OBJ");
        input.chooseEvo(dir.file("HVDVD_TS/FEATURE_1.EVO"), host);
    }

    void writePlaylist(const std::string& text) {
        testing::writeFile(dir.file("ADV_OBJ/VPLST000.XPL"),
                           std::vector<std::uint8_t>(text.begin(), text.end()));
    }

    void read() {
        JobContext job{*state, selection, input, sink, host};
        bReadXPLClick(job, playlist);
    }

    // Runs a read and returns only the log lines it added.
    Lines readAndCollectLog() {
        const auto before = sink.lines.size();
        read();
        return Lines(sink.lines.begin() + static_cast<std::ptrdiff_t>(before), sink.lines.end());
    }

    std::string fileSizeLine() const {
        return "Filesize: " +
               std::to_string(std::filesystem::file_size(dir.path() / "ADV_OBJ/VPLST000.XPL")) +
               " bytes";
    }

    const TreeNode& node(const char* name) const {
        for (const auto& top : playlist.tree)
            if (top.text == name) return top;
        throw std::out_of_range(name);
    }
    Lines children(const char* name) const {
        Lines texts;
        for (const auto& child : node(name).children) texts.push_back(child.text);
        return texts;
    }

    testing::TempDir dir;
    std::unique_ptr<EngineState> state = std::make_unique<EngineState>();
    StreamSelection selection;
    InputChoice input;
    RecordingSink sink;
    BasicHost host;
    PlaylistState playlist;
};

// A title in the middle of a playlist, with its attribute list at the top.
std::string titlePlaylist(const std::string& clipTracks, const std::string& extraTitleBody = "") {
    return R"(<?xml version="1.0"?>
<Playlist displayName="Disc">
<MediaAttributeList>
<VideoAttributeItem index="1" codec="VC-1"/>
<AudioAttributeItem index="1" codec="DD+" channels="6"/>
<AudioAttributeItem index="2" codec="DTS-HD"/>
<SubpictureAttributeItem index="1" codec="2bitRLC"/>
</MediaAttributeList>
<TitleSet>
<Title id="a" displayName="Other" titleDuration="00:01:00:00">
<PrimaryAudioVideoClip src="OTHER.MAP"><Video track="1" mediaAttr="1"/></PrimaryAudioVideoClip>
</Title>
<Title id="b" displayName="Main" titleDuration="01:00:00:00">
<PrimaryAudioVideoClip src="file:///dvddisc/HVDVD_TS/FEATURE_1.MAP">
)" + clipTracks +
           R"(</PrimaryAudioVideoClip>
)" + extraTitleBody +
           R"(</Title>
</TitleSet>
</Playlist>
)";
}

TEST_F(ReadXplTest, StreamNumbersMissingDescriptionsAndChapters) {
    writePlaylist(titlePlaylist(
        R"(<Video track="1" mediaAttr="1"/>
<Audio streamNumber="10" mediaAttr="1" description="English"/>
<Audio streamNumber="11" mediaAttr="2"/>
<Subtitle streamNumber="1" mediaAttr="1" description="Deutsch"/>
)",
        R"(<ChapterList>
<Chapter titleTimeBegin="00:00:00:00" displayName="Start"/>
<Chapter titleTimeBegin="00:10:00:00"/>
</ChapterList>
)"));
    read();

    EXPECT_EQ(sink.lines, (Lines{"Open VPLST000.XPL", fileSizeLine(), "VC-1.stream.0 found!",
                                 "DD+.6ch.stream.09.English found!", "DTS-HD.6ch.stream.10. found!",
                                 "2bitRLC.stream.00.Deutsch found!", "Done."}));
    EXPECT_EQ(children("Info"), (Lines{"Title: Disc", "Name: Main", "Duration: 01:00:00:00"}));
    EXPECT_EQ(children("Audio"), (Lines{"DD+.6ch.stream.09.English", "DTS-HD.6ch.stream.10."}));
    EXPECT_EQ(children("Chapter"), (Lines{"00:00:00:00: Start", "00:10:00:00: "}));

    const auto& audio9 = selection.slot(SlotKind::Audio, 9);
    EXPECT_TRUE(audio9.Enabled && audio9.Checked);
    EXPECT_EQ(audio9.Caption, "DD+.6ch.stream.09.English");
    EXPECT_EQ(audio9.Hint, "DD+.6ch.stream.09.English");
    EXPECT_EQ(selection.Caption(SlotKind::Audio, 10), "DTS-HD.6ch.stream.10.");
    EXPECT_EQ(selection.Caption(SlotKind::Subpicture, 0), "2bitRLC.stream.00.Deutsch");
    EXPECT_EQ(selection.Caption(SlotKind::Video, 0), "VC-1.stream.0");
    EXPECT_EQ(selection.slot(SlotKind::Video, 0).Hint, "");  // video slots keep their hint
    EXPECT_FALSE(selection.slot(SlotKind::Audio, 0).Enabled);
    EXPECT_EQ(selection.Caption(SlotKind::Audio, 0), "No audio stream");

    ListedTracks expected;
    expected.video[0] = true;
    expected.audio[9] = true;
    expected.audio[10] = true;
    expected.subtitles[0] = true;
    EXPECT_EQ(playlist.listed, expected);
    EXPECT_EQ(state->streamTable, StreamTable{});  // the codes stay those of the last scan
}

TEST_F(ReadXplTest, DuplicateStreamsAcrossClipsAndOtherVideoTracks) {
    writePlaylist(titlePlaylist(
        R"(<Video track="2" mediaAttr="1"/>
<Audio streamNumber="1" mediaAttr="1" description="English"/>
</PrimaryAudioVideoClip>
<PrimaryAudioVideoClip src="file:///dvddisc/HVDVD_TS/FEATURE_2.MAP">
<Video track="2" mediaAttr="1"/>
<Audio streamNumber="1" mediaAttr="2" description="Other"/>
<Subtitle streamNumber="3" mediaAttr="1" description="A"/>
<Subtitle streamNumber="3" mediaAttr="1" description="B"/>
)"));
    read();

    EXPECT_EQ(sink.lines,
              (Lines{"Open VPLST000.XPL", fileSizeLine(), "VC-1.stream.1 found!",
                     "DD+.6ch.stream.00.English found!", "2bitRLC.stream.02.A found!", "Done."}));
    EXPECT_EQ(children("Video"), (Lines{"VC-1.stream.1"}));
    EXPECT_EQ(children("Audio"), (Lines{"DD+.6ch.stream.00.English"}));
    EXPECT_EQ(children("Subtitle"), (Lines{"2bitRLC.stream.02.A"}));
    // Video track 2 has no check box; neither video slot changes.
    for (int n = 0; n < kVideoSlots; ++n) {
        EXPECT_FALSE(selection.slot(SlotKind::Video, n).Enabled) << n;
        EXPECT_EQ(selection.Caption(SlotKind::Video, n), "No video stream") << n;
    }
    EXPECT_TRUE(playlist.listed.video[1]);
    EXPECT_FALSE(playlist.listed.video[0]);
}

TEST_F(ReadXplTest, NumbersWithoutAPlaceInTheTables) {
    writePlaylist(titlePlaylist(
        R"(<Video track="0" mediaAttr="1"/>
<Video track="17" mediaAttr="1"/>
<Video track="-1" mediaAttr="1"/>
<Video mediaAttr="1"/>
<Video track="16" mediaAttr="9"/>
<Audio streamNumber="0" mediaAttr="1" description="zero"/>
<Audio streamNumber="17" mediaAttr="1" description="seventeen"/>
<Audio streamNumber="x" mediaAttr="1" description="letters"/>
<Audio streamNumber="4294967297" mediaAttr="1" description="wraps to 1 in 32 bits"/>
<Audio streamNumber="16" mediaAttr="0" description="last"/>
<Subtitle streamNumber="33" mediaAttr="1" description="beyond the table"/>
<Subtitle streamNumber="2" mediaAttr="-5" description="two"/>
)",
        R"(<ChapterList><VideoAttributeItem index="9" codec="never"/></ChapterList>
)"));
    read();

    EXPECT_EQ(sink.lines, (Lines{"Open VPLST000.XPL", fileSizeLine(), ".stream.15 found!",
                                 ".stream.15.last found!", ".stream.01.two found!", "Done."}));
    EXPECT_EQ(children("Video"), (Lines{".stream.15"}));
    EXPECT_EQ(children("Audio"), (Lines{".stream.15.last"}));
    EXPECT_EQ(children("Subtitle"), (Lines{".stream.01.two"}));
    EXPECT_EQ(selection.Caption(SlotKind::Audio, 15), ".stream.15.last");
    EXPECT_TRUE(selection.IsChecked(SlotKind::Subpicture, 1));
    for (const auto& entry : playlist.VideoAttr) EXPECT_NE(entry, "never");

    ListedTracks expected;
    expected.video[15] = true;
    expected.audio[15] = true;
    expected.subtitles[1] = true;
    EXPECT_EQ(playlist.listed, expected);
}

TEST_F(ReadXplTest, ExactReportsAndViewNotifications) {
    ViewRecorder view;
    playlist.addObserver(&view);
    writePlaylist(titlePlaylist(R"(<Audio streamNumber="2" mediaAttr="1" description="En"/>
)"));
    read();

    EXPECT_EQ(sink.lines,
              (Lines{"Open VPLST000.XPL", fileSizeLine(), "DD+.6ch.stream.01.En found!", "Done."}));
    const auto size = std::to_string(std::filesystem::file_size(dir.file("ADV_OBJ/VPLST000.XPL")));
    EXPECT_EQ(sink.status, (std::vector<RecordingSink::StatusCall>{
                               {size + "/" + size + " bytes", 1}, {"Ready", 0}, {"", 1}}));
    EXPECT_TRUE(host.isEnabled(Command::ReadXpl));
    EXPECT_EQ(host.page, kXplPage);

    const Lines title = {"    <Title id=\"b\" displayName=\"Main\" titleDuration=\"01:00:00:00\">",
                         "      <PrimaryAudioVideoClip "
                         "src=\"file:///dvddisc/HVDVD_TS/FEATURE_1.MAP\">",
                         "        <Audio streamNumber=\"2\" mediaAttr=\"1\" description=\"En\"/>",
                         "      </PrimaryAudioVideoClip>", "    </Title>"};
    EXPECT_EQ(playlist.tagLines, title);
    EXPECT_TRUE(playlist.tagViewVisible);

    // The view hears: emptied, hidden, every tag of the file, then the cut-down list, the tree,
    // and shown again.
    ASSERT_GE(view.events.size(), 3u);
    EXPECT_EQ(view.events[0], "cleared");
    EXPECT_EQ(view.events[1], "hidden");
    EXPECT_EQ(view.events[2], "add <?xml version=\"1.0\"?>");
    Lines tail = {"cleared"};
    for (const auto& line : title) tail.push_back("add " + line);
    tail.push_back("tree");
    tail.push_back("shown");
    ASSERT_GE(view.events.size(), tail.size());
    EXPECT_EQ(
        Lines(view.events.end() - static_cast<std::ptrdiff_t>(tail.size()), view.events.end()),
        tail);
    playlist.removeObserver(&view);
}

TEST_F(ReadXplTest, EvoNotFoundKeepsEveryTagAndTheTree) {
    const std::string text = titlePlaylist(R"(<Audio streamNumber="1" mediaAttr="1"/>
)");
    writePlaylist(text);
    state->streamTable.AudioIds[3] = 0xC3;  // left by an earlier EVO scan
    const auto before = playlist.tree;
    input.chooseEvo(dir.file("HVDVD_TS/MOVIE_1.EVO"), host);
    read();

    EXPECT_EQ(sink.lines, (Lines{"Open VPLST000.XPL", fileSizeLine(), "Done."}));
    EXPECT_EQ(playlist.tree, before);
    EXPECT_EQ(playlist.tree.front().text, "Video");  // the tree before any read
    EXPECT_EQ(playlist.tagLines.front(), "<?xml version=\"1.0\"?>");
    EXPECT_EQ(playlist.tagLines.back(), "</Playlist>");
    EXPECT_EQ(playlist.listed, ListedTracks{});
    EXPECT_EQ(state->streamTable.AudioIds[3], 0xC3);  // the scan's codes stay
    EXPECT_FALSE(selection.AnyChecked());
    EXPECT_TRUE(host.isEnabled(Command::ReadXpl));
}

TEST_F(ReadXplTest, NoEvoChosenShowsOnlyTheTagLines) {
    writePlaylist(titlePlaylist(R"(<Audio streamNumber="1" mediaAttr="1"/>
)"));
    InputChoice playlistOnly;
    playlistOnly.chooseXpl(dir.file("ADV_OBJ/VPLST000.XPL"), host);
    ASSERT_EQ(playlistOnly.EVObase, "");
    JobContext job{*state, selection, playlistOnly, sink, host};
    bReadXPLClick(job, playlist);
    EXPECT_EQ(sink.lines.back(), "Done.");
    EXPECT_EQ(playlist.tree, PlaylistState().tree);
    EXPECT_EQ(playlist.tagLines.size(), 21u);
}

TEST_F(ReadXplTest, SecondReadGivesTheSameTreeAndLogLines) {
    writePlaylist(titlePlaylist(R"(<Video track="1" mediaAttr="1"/>
<Audio streamNumber="1" mediaAttr="1" description="English"/>
<Subtitle streamNumber="2" mediaAttr="1" description="French"/>
)"));
    const auto first = readAndCollectLog();
    const auto firstTree = playlist.tree;
    const auto firstLines = playlist.tagLines;
    const auto firstStatus = sink.status;
    sink.status.clear();
    const auto second = readAndCollectLog();
    EXPECT_EQ(second, first);
    EXPECT_EQ(playlist.tree, firstTree);
    EXPECT_EQ(playlist.tagLines, firstLines);
    EXPECT_EQ(sink.status, firstStatus);
    EXPECT_EQ(first.size(), 6u);
}

TEST_F(ReadXplTest, AttributeTablesSurviveFromOneReadToTheNext) {
    writePlaylist(R"(<Playlist>
<AudioAttributeItem index="1" codec="DD+" channels="6"/>
<AudioAttributeItem index="2" codec="MLP" channels="8"/>
</Playlist>)");
    read();
    EXPECT_EQ(playlist.AudioAttr[2], "MLP.8ch");

    // The second playlist defines only index 1; its track with media attribute 2 still
    // shows the text of the first read.
    writePlaylist(R"(<Playlist>
<AudioAttributeItem index="1" codec="DD"/>
<Title id="t" displayName="T" titleDuration="1">
<Clip src="FEATURE_1.MAP"/>
<Audio streamNumber="1" mediaAttr="2" description="Main"/>
<Audio streamNumber="2" mediaAttr="1" description="Alt"/>
</Title>
</Playlist>)");
    const auto log = readAndCollectLog();
    EXPECT_EQ(log, (Lines{"Open VPLST000.XPL", fileSizeLine(), "MLP.8ch.stream.00.Main found!",
                          "DD.stream.01.Alt found!", "Done."}));
    EXPECT_EQ(children("Info"), (Lines{"Name: T", "Duration: 1"}));  // no playlist name
}

TEST_F(ReadXplTest, MissingIndexStopsWithTheFileClosed) {
    writePlaylist(R"(<Playlist displayName="Disc">
<VideoAttributeItem codec="VC-1"/>
<Title id="t" displayName="T"><Clip src="FEATURE_1.MAP"/></Title>
</Playlist>)");
    const auto treeBefore = playlist.tree;
    try {
        read();
        FAIL() << "the read went through";
    } catch (const PlaylistError& error) {
        EXPECT_STREQ(error.what(), "'' is not a valid integer value");
    }
    EXPECT_FALSE(state->InFile.isOpen());
    EXPECT_EQ(sink.lines, (Lines{"Open VPLST000.XPL", fileSizeLine()}));
    EXPECT_TRUE(sink.status.empty());
    EXPECT_FALSE(host.isEnabled(Command::ReadXpl));
    EXPECT_TRUE(playlist.tagViewVisible);
    EXPECT_EQ(playlist.tagLines,
              (Lines{"<Playlist displayName=\"Disc\">", "  <VideoAttributeItem codec=\"VC-1\"/>"}));
    EXPECT_EQ(playlist.tree, treeBefore);

    // Mended, the same files read again normally.
    writePlaylist(R"(<Playlist displayName="Disc">
<VideoAttributeItem index="1" codec="VC-1"/>
</Playlist>)");
    read();
    EXPECT_EQ(sink.lines.back(), "Done.");
    EXPECT_EQ(playlist.VideoAttr[1], "VC-1");
}

TEST_F(ReadXplTest, PlaylistThatCannotBeOpened) {
    selection.setEnabled(SlotKind::Audio, 0, true);
    selection.click(SlotKind::Audio, 0);
    try {
        read();
        FAIL() << "the read went through";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what())
                      .rfind("Cannot open file \"" + dir.file("ADV_OBJ/VPLST000.XPL") + "\". ", 0),
                  0u)
            << error.what();
    }
    EXPECT_TRUE(sink.lines.empty());
    EXPECT_FALSE(host.isEnabled(Command::ReadXpl));
    EXPECT_EQ(host.page, kXplPage);
    EXPECT_FALSE(selection.slot(SlotKind::Audio, 0).Enabled);
    EXPECT_FALSE(state->InFile.isOpen());
}

TEST_F(ReadXplTest, ResetLeavesACheckedSlotChecked) {
    StreamTable scanned;
    scanned.AudioIds[5] = 0xC5;
    selection.FillFromStreamTable(scanned);
    ASSERT_TRUE(selection.IsChecked(SlotKind::Audio, 5));
    writePlaylist(titlePlaylist(R"(<Audio streamNumber="1" mediaAttr="1" description="En"/>
)"));
    read();

    const auto& slot = selection.slot(SlotKind::Audio, 5);
    EXPECT_FALSE(slot.Enabled);
    EXPECT_TRUE(slot.Checked);
    EXPECT_EQ(slot.Caption, "No audio stream");
    EXPECT_TRUE(selection.IsChecked(SlotKind::Audio, 0));
}

TEST_F(ReadXplTest, BlockBoundaryInsideATag) {
    // Padding between tags pushes the audio element across the first 32768-byte boundary.
    const std::string head = titlePlaylist("@");
    const auto at = head.find('@');
    const std::string audio =
        "<Audio streamNumber=\"3\"\r\n\tmediaAttr=\"1\" description=\"Cut\"/>";
    const std::string padding(kReadBufSize - at - 10, '\n');
    const std::string text = head.substr(0, at) + padding + audio + "\n" + head.substr(at + 1);
    ASSERT_LT(at + padding.size(), kReadBufSize);
    ASSERT_GT(at + padding.size() + audio.size(), kReadBufSize);
    writePlaylist(text);
    read();

    EXPECT_EQ(children("Audio"), (Lines{"DD+.6ch.stream.02.Cut"}));
    EXPECT_EQ(playlist.tagLines[2],
              "        <Audio streamNumber=\"3\" mediaAttr=\"1\" description=\"Cut\"/>");
    const auto size = std::to_string(text.size());
    EXPECT_EQ(sink.statusTexts(1),
              (Lines{"32768/" + size + " bytes", size + "/" + size + " bytes", ""}));
}

TEST_F(ReadXplTest, EmptyPlaylist) {
    writePlaylist("");
    read();
    EXPECT_EQ(sink.lines, (Lines{"Open VPLST000.XPL", "Filesize: 0 bytes", "Done."}));
    EXPECT_EQ(sink.status, (std::vector<RecordingSink::StatusCall>{{"Ready", 0}, {"", 1}}));
    EXPECT_TRUE(playlist.tagLines.empty());
}

TEST_F(ReadXplTest, HostileSizesStayBounded) {
    // Many tags, a 10 MB attribute value, deep nesting and a "<" that never closes.
    std::string text = "<Playlist displayName=\"" + std::string(10'000'000, 'v') + "\">\n";
    for (int i = 0; i < 100'000; ++i) text += "<Chapter titleTimeBegin=\"1\">";
    text += "<Title id=\"t\"><Clip src=\"FEATURE_1.MAP\"/><Audio streamNumber=\"1\"/></Title>";
    text += "<never closed " + std::string(1'000'000, 'x');
    writePlaylist(text);
    read();

    std::size_t total = 0;
    for (const auto& line : playlist.tagLines) total += line.size();
    EXPECT_LE(total, 2 * text.size());
    EXPECT_EQ(playlist.tagLines.size(), 4u);  // cut to the title
    EXPECT_EQ(children("Audio"), (Lines{".stream.00."}));
    // The title has no attributes of its own, and the playlist name's value closes beyond
    // the lookup window, so it reads as empty and gives no "Title: " node.
    EXPECT_EQ(children("Info"), (Lines{"Name: ", "Duration: "}));
    EXPECT_EQ(sink.lines.back(), "Done.");
}

}  // namespace
}  // namespace tarnwell
