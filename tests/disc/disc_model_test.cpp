#include "disc/disc_model.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "io/file_io.h"
#include "playlist/matroska_title.h"
#include "playlist/tag_scanner.h"
#include "playlist/title_selection.h"
#include "sample_playlist.h"
#include "support/temp_dir.h"

namespace tarnwell::disc {
namespace {

struct PlaylistCase {
    const char* name;
    const char* xml;
    std::function<void(const Disc&)> check;  // empty: the read must fail with `error`
    const char* error = "";
    friend void PrintTo(const PlaylistCase& c, std::ostream* os) { *os << c.name; }
};

class ReadPlaylistTest : public ::testing::TestWithParam<PlaylistCase> {};

TEST_P(ReadPlaylistTest, Reads) {
    const auto& c = GetParam();
    if (!c.check) {
        try {
            readPlaylist(c.xml);
            ADD_FAILURE() << "no error";
        } catch (const PlaylistError& error) {
            EXPECT_STREQ(error.what(), c.error);
        }
        return;
    }
    c.check(readPlaylist(c.xml));
}

const char* kLanguages = R"(<Playlist><TitleSet><Title>
<TrackNavigationList><AudioTrack track="2" langcode="de:00"/><AudioTrack track="3" langcode=":00"/>
<SubtitleTrack track="1" langcode="ja:00"/></TrackNavigationList>
<PrimaryAudioVideoClip src="file:///dvddisc/HVDVD_TS/A.MAP">
<Audio track="2" streamNumber="1" langcode="en:00"/><Audio track="3" streamNumber="2" langcode="it:01"/>
<Audio track="4" streamNumber="3"/><Subtitle track="1" streamNumber="1" langcode="fr:00"/>
</PrimaryAudioVideoClip></Title></TitleSet></Playlist>)";

// The second clip lists stream 1 again, otherwise; streams come in number order.
const char* kFirstListing = R"(<Playlist><MediaAttributeList>
<AudioAttributeItem index="1" codec="DD+" channels="6"/><AudioAttributeItem index="2" codec="MLP"/>
</MediaAttributeList><TitleSet timeBase="50fps"><Title titleNumber="7">
<PrimaryAudioVideoClip src="A.MAP"><Audio streamNumber="2" mediaAttr="2" description="Two"/>
<Audio streamNumber="1" mediaAttr="1" description="One"/></PrimaryAudioVideoClip>
<PrimaryAudioVideoClip src="B.MAP"><Audio streamNumber="1" mediaAttr="2" description="Other"/>
<Audio streamNumber="17" mediaAttr="1"/></PrimaryAudioVideoClip></Title></TitleSet></Playlist>)";

// No timeBase: 60 frames a second. Chapters with a bad time are left out.
const char* kDefaultTimeBase =
    R"(<Playlist><Unknown a="b"/><TitleSet><Title titleDuration="00:01:00:30">
<PrimaryAudioVideoClip titleTimeBegin="00:00:10:30" titleTimeEnd="bad" src="C.MAP"/>
<ChapterList><Chapter titleTimeBegin="00:00:01:30" displayName="A"/>
<Chapter titleTimeBegin="1:30" displayName="B"/></ChapterList></Title></TitleSet></Playlist>)";

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadPlaylistTest,
    ::testing::Values(
        PlaylistCase{"Malformed",
                     "<Playlist>\n<TitleSet>\n<Title></TitleSet>\n</Playlist>",
                     {},
                     "VPLST000.XPL: not a playlist: line 3: Start-end tags mismatch"},
        PlaylistCase{"NotXml",
                     "VPLST",
                     {},
                     "VPLST000.XPL: not a playlist: line 1: No document element found"},
        PlaylistCase{"OtherRoot",
                     "<Menu/>",
                     {},
                     "VPLST000.XPL: not a playlist: its top element is <Menu>, not <Playlist>"},
        PlaylistCase{"LangcodeFallback", kLanguages,
                     [](const Disc& disc) {
                         const auto& t = disc.titles.at(0);
                         ASSERT_EQ(t.audio.size(), 3u);
                         EXPECT_EQ(t.audio[0].language, "de");  // the navigation entry's
                         EXPECT_EQ(t.audio[1].language, "it");  // an empty one is passed over
                         EXPECT_EQ(t.audio[2].language, "und");
                         EXPECT_EQ(t.subtitles.at(0).language, "ja");
                         EXPECT_EQ(t.number, 1);  // no titleNumber: its place
                         EXPECT_EQ(t.clips.at(0).evo, "HVDVD_TS/A.EVO");
                     }},
        PlaylistCase{"FirstListingHolds", kFirstListing,
                     [](const Disc& disc) {
                         const auto& t = disc.titles.at(0);
                         EXPECT_EQ(t.number, 7);
                         ASSERT_EQ(t.audio.size(), 2u);  // stream 17 has no place
                         EXPECT_EQ(t.audio[0].stream, 1);
                         EXPECT_EQ(t.audio[0].description, "One");
                         EXPECT_EQ(t.audio[0].codec, "DD+");
                         EXPECT_EQ(t.audio[0].channels, 6);
                         EXPECT_EQ(t.audio[1].codec, "MLP");
                         EXPECT_EQ(t.audio[1].channels, std::nullopt);
                         EXPECT_EQ(t.timeBase, 50);
                     }},
        PlaylistCase{"MissingTimeBase", kDefaultTimeBase,
                     [](const Disc& disc) {
                         const auto& t = disc.titles.at(0);
                         EXPECT_EQ(t.timeBase, 60);
                         EXPECT_EQ(t.duration, 60 * 60 + 30);
                         EXPECT_EQ(t.clips.at(0).titleBegin, 630);
                         EXPECT_EQ(t.clips.at(0).titleEnd, std::nullopt);
                         ASSERT_EQ(t.chapters.size(), 1u);
                         EXPECT_EQ(toSeconds(t.chapters[0].start, t.timeBase), 1.5);
                         EXPECT_EQ(toNanoseconds(t.chapters[0].start, t.timeBase), 1'500'000'000);
                         // The longest time a playlist can write does not overflow.
                         EXPECT_EQ(toNanoseconds(999'999'999LL * 3600 * 60, 60),
                                   std::numeric_limits<std::int64_t>::max());
                     }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OpenDiscTest, TakesTheLowestPlaylistNumber) {
    testing::TempDir dir;
    std::filesystem::create_directories(dir.path() / "adv_obj");
    for (const char* name : {"VPLST10.XPL", "vplst9.xpl", "VPLST.XPL", "VPLST011.XML"})
        writeTextFile(dir.file(std::string("adv_obj/") + name),
                      std::string("<Playlist displayName=\"") + name + "\"/>");
    const auto disc = openDisc(dir.path() / "adv_obj");
    EXPECT_EQ(disc.name, "vplst9.xpl");
    EXPECT_EQ(disc.playlist, "adv_obj/vplst9.xpl");
    // "." names the folder it stands for.
    const testing::CurrentFolder inside(dir.path() / "adv_obj");
    EXPECT_EQ(openDisc(".").playlist, "adv_obj/vplst9.xpl");
}

// The model and the Matroska work's reading of the tag lines give each clip of the sample
// disc the same track names, languages and chapters.
TEST(OpenDiscTest, AgreesWithTheTagLineReading) {
    const auto text = sample::samplePlaylist();
    std::vector<std::string> lines;
    TagScanner scanner([&](std::string&& line) { lines.push_back(std::move(line)); });
    scanner.feed({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    const auto disc = readPlaylist(text);
    ASSERT_EQ(disc.titles.size(), 3u);
    for (const auto& title : disc.titles) {
        for (const auto& clip : title.clips) {
            const auto base = clip.evo.stem().string();
            SCOPED_TRACE(base);
            const auto range = selectTitle(lines, base);
            ASSERT_TRUE(range);
            const std::vector<std::string> kept(lines.begin() + range->first,
                                                lines.begin() + range->first + range->count);
            const auto other = readMatroskaTitle(kept, base, titleSetTimeBase(lines, range->first));
            EXPECT_EQ(other.name, title.name);
            for (const auto& track : title.audio)
                EXPECT_EQ(other.audio.at(track.stream - 1),
                          (TitleTrack{track.description, track.language}));
            for (const auto& track : title.subtitles)
                EXPECT_EQ(other.subtitles.at(track.stream - 1),
                          (TitleTrack{track.description, track.language}));
            std::vector<TitleChapter> chapters;
            for (const auto& chapter : title.chapters)
                if (chapter.start >= clip.titleBegin)
                    chapters.push_back(
                        {toNanoseconds(chapter.start - clip.titleBegin, title.timeBase),
                         chapter.name});
            EXPECT_EQ(other.chapters, chapters);
        }
    }
}

}  // namespace
}  // namespace tarnwell::disc
