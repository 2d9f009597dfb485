#include "playlist/matroska_title.h"

#include <gtest/gtest.h>

#include "playlist/tag_scanner.h"
#include "playlist/title_selection.h"
#include "sample_playlist.h"

namespace tarnwell {
namespace {

// The title that plays `evoBase`, read from the playlist text as Read XPL cuts it.
MatroskaTitle titleOf(const std::string& text, const std::string& evoBase) {
    std::vector<std::string> lines;
    TagScanner scanner([&](std::string&& line) { lines.push_back(std::move(line)); });
    scanner.feed({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    const auto title = selectTitle(lines, evoBase);
    EXPECT_TRUE(title.has_value());
    if (!title) return {};
    const std::vector<std::string> kept(lines.begin() + title->first,
                                        lines.begin() + title->first + title->count);
    return readMatroskaTitle(kept, evoBase, titleSetTimeBase(lines, title->first));
}

constexpr std::int64_t kSecond = 1'000'000'000;

TEST(MatroskaTitleTest, SampleFeatureSecondPart) {
    const auto title = titleOf(sample::samplePlaylist(), "FEATURE_2");
    EXPECT_EQ(title.name, "Feature");
    // 24 frames a second; the clip starts at 00:00:24:00, the chapters before it are dropped.
    EXPECT_EQ(title.chapters,
              (std::vector<TitleChapter>{
                  {0, "Second Reel"}, {6 * kSecond, "Homecoming"}, {12 * kSecond, "End Credits"}}));
    EXPECT_EQ(title.audio[1], (TitleTrack{"Commentary", "en"}));
    EXPECT_EQ(title.subtitles[1], (TitleTrack{"French", "fr"}));
    EXPECT_EQ(title.audio[2], TitleTrack{});
}

TEST(MatroskaTitleTest, NavigationLanguagesEntitiesAndFrames) {
    // No timeBase: 60 frames a second. The navigation entries' languages come first.
    const std::string text = R"(<Playlist><TitleSet>
<Title id="A" displayName="Tom &amp; Jerry&#x2019;s">
<TrackNavigationList>
<AudioTrack langcode="de:00" track="2"/>
<SubtitleTrack track="1" langcode="ja:00"/>
</TrackNavigationList>
<PrimaryAudioVideoClip titleTimeBegin="00:00:10:30" src="file:///dvddisc/HVDVD_TS/MAIN.MAP">
<Audio track="2" streamNumber="1" langcode="en:00" description="Dub &lt;2&gt;"/>
<Audio track="3" streamNumber="4" langcode="it:00"/>
<Subtitle track="1" streamNumber="3"/>
</PrimaryAudioVideoClip>
<Audio track="1" streamNumber="2" description="outside the clip"/>
<ChapterList>
<Chapter titleTimeBegin="00:00:05:00" displayName="Before"/>
<Chapter titleTimeBegin="00:00:10:30" displayName="A &quot;B&quot;"/>
<Chapter titleTimeBegin="01:00:11:01" displayName="C"/>
<Chapter titleTimeBegin="bad" displayName="D"/>
</ChapterList>
</Title></TitleSet></Playlist>)";
    const auto title = titleOf(text, "MAIN");
    EXPECT_EQ(title.name, "Tom & Jerry\u2019s");
    EXPECT_EQ(title.audio[0], (TitleTrack{"Dub <2>", "de"}));
    EXPECT_EQ(title.audio[1], TitleTrack{});
    EXPECT_EQ(title.audio[3], (TitleTrack{"", "it"}));
    EXPECT_EQ(title.subtitles[2], (TitleTrack{"", "ja"}));
    EXPECT_EQ(title.chapters,
              (std::vector<TitleChapter>{{0, "A \"B\""}, {3600 * kSecond + 516'666'667, "C"}}));
}

}  // namespace
}  // namespace tarnwell
