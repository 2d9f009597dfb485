#include "playlist/tag_checks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "io/file_io.h"

namespace tarnwell {
namespace {

using Table = std::array<std::string, kAttrTableSize + 1>;

Table table(std::initializer_list<std::pair<int, const char*>> entries) {
    Table t;
    for (const auto& [index, text] : entries) t[static_cast<std::size_t>(index)] = text;
    return t;
}

void runAll(PlaylistState& state, const std::vector<std::string>& tags) {
    TagChecks checks(state);
    for (const auto& tag : tags) checks.run(tag);
}

struct TableCase {
    const char* what;
    std::vector<std::string> tags;
    Table video, audio, sub;
};

TEST(TagChecks, AttributeTables) {
    const TableCase cases[] = {
        {"empty elements",
         {R"(<VideoAttributeItem index="1" codec="VC-1"/>)",
          R"(<AudioAttributeItem index="1" codec="DD+" channels="6"/>)",
          R"(<AudioAttributeItem index="2" codec="LPCM" channels="2"/>)",
          R"(<SubpictureAttributeItem index="1" codec="2bitRLC"/>)"},
         table({{1, "VC-1"}}),
         table({{1, "DD+.6ch"}, {2, "LPCM.2ch"}}),
         table({{1, "2bitRLC"}})},
        {"separate closing tags give the same tables",
         {R"(<VideoAttributeItem index="1" codec="VC-1">)", "</VideoAttributeItem>",
          R"(<AudioAttributeItem index="1" codec="DD+" channels="6">)", "</AudioAttributeItem>",
          R"(  <AudioAttributeItem index="2" codec="LPCM" channels="2">)",
          "  </AudioAttributeItem>", R"(<SubpictureAttributeItem index="1" codec="2bitRLC">)",
          "</SubpictureAttributeItem>"},
         table({{1, "VC-1"}}),
         table({{1, "DD+.6ch"}, {2, "LPCM.2ch"}}),
         table({{1, "2bitRLC"}})},
        {"the first audio item without channels has the bare codec",
         {R"(<AudioAttributeItem index="1" codec="DD+"/>)"},
         {},
         table({{1, "DD+"}}),
         {}},
        {"channels carried from an earlier item",
         {R"(<AudioAttributeItem index="1" codec="DD+" channels="6"/>)",
          R"(<AudioAttributeItem index="2" codec="MLP"/>)"},
         {},
         table({{1, "DD+.6ch"}, {2, "MLP.6ch"}}),
         {}},
        {"an empty channels value drops the suffix",
         {R"(<AudioAttributeItem index="1" codec="DD+" channels="6"/>)",
          R"(<AudioAttributeItem index="2" codec="MLP" channels=""/>)"},
         {},
         table({{1, "DD+.6ch"}, {2, "MLP"}}),
         {}},
        {"codec carried from an earlier item of the same kind only",
         {R"(<VideoAttributeItem index="1" codec="VC-1"/>)", R"(<VideoAttributeItem index="2"/>)",
          R"(<SubpictureAttributeItem index="1"/>)"},
         table({{1, "VC-1"}, {2, "VC-1"}}),
         {},
         table({{1, ""}})},
        {"index carried: a later item without index replaces the same entry",
         {R"(<VideoAttributeItem index="3" codec="VC-1"/>)",
          R"(<VideoAttributeItem codec="H.264"/>)"},
         table({{3, "H.264"}}),
         {},
         {}},
        {"element names respect letter case",
         {R"(<videoattributeitem index="1" codec="VC-1"/>)"},
         {},
         {},
         {}},
        {"an index outside 1..8 changes no table",
         {R"(<VideoAttributeItem index="0" codec="A"/>)",
          R"(<VideoAttributeItem index="9" codec="B"/>)",
          R"(<VideoAttributeItem index="-1" codec="C"/>)",
          R"(<AudioAttributeItem index="2147483647" codec="D"/>)",
          R"(<VideoAttributeItem index="8" codec="E"/>)"},
         table({{8, "E"}}),
         {},
         {}},
        {"one tag may meet several checks",
         {R"(<VideoAttributeItem AudioAttributeItem index="2" codec="X"/>)"},
         table({{2, "X"}}),
         table({{2, "X"}}),
         {}},
    };
    for (const auto& c : cases) {
        PlaylistState state;
        runAll(state, c.tags);
        EXPECT_EQ(state.VideoAttr, c.video) << c.what;
        EXPECT_EQ(state.AudioAttr, c.audio) << c.what;
        EXPECT_EQ(state.SubAttr, c.sub) << c.what;
    }
}

TEST(TagChecks, IndexThatIsNoIntegerStopsTheRead) {
    const std::pair<std::string, std::string> cases[] = {
        {R"(<VideoAttributeItem codec="VC-1"/>)", "'' is not a valid integer value"},
        {R"(<AudioAttributeItem index="" codec="DD+"/>)", "'' is not a valid integer value"},
        {R"(<SubpictureAttributeItem index="one"/>)", "'one' is not a valid integer value"},
        {R"(<VideoAttributeItem index=" 1"/>)", "' 1' is not a valid integer value"},
        {R"(<VideoAttributeItem index="1.0"/>)", "'1.0' is not a valid integer value"},
        {R"(<VideoAttributeItem index="99999999999"/>)",
         "'99999999999' is not a valid integer value"},
        {R"(<VideoAttributeItem index='1'/>)", "'' is not a valid integer value"},
    };
    for (const auto& [tag, text] : cases) {
        PlaylistState state;
        TagChecks checks(state);
        try {
            checks.run(tag);
            ADD_FAILURE() << "no error for " << tag;
        } catch (const PlaylistError& error) {
            EXPECT_EQ(std::string(error.what()), text) << tag;
        }
        EXPECT_EQ(state.VideoAttr, Table{}) << tag;
    }
}

TEST(TagChecks, ItemMemoriesStartEmptyOnEveryRead) {
    PlaylistState state;
    runAll(state, {R"(<AudioAttributeItem index="1" codec="DD+" channels="6"/>)"});
    // A new read remembers nothing: the first item without index has nothing to fall back on.
    TagChecks second(state);
    EXPECT_THROW(second.run(R"(<AudioAttributeItem codec="DD"/>)"), PlaylistError);
    // ...and the channels of the earlier read are not carried over.
    TagChecks third(state);
    third.run(R"(<AudioAttributeItem index="2" codec="DD"/>)");
    EXPECT_EQ(state.AudioAttr[2], "DD");
    EXPECT_EQ(state.AudioAttr[1], "DD+.6ch");  // the tables themselves survive
}

TEST(TagChecks, PlaylistName) {
    struct NameCase {
        const char* what;
        std::vector<std::string> tags;
        const char* name;
    };
    const NameCase cases[] = {
        {"from the opening tag, kept by the closing tag",
         {R"(<Playlist xmlns="x" displayName="Disc">)", R"(<Title displayName="T">)",
          "</Playlist>"},
         "Disc"},
        {"no displayName anywhere", {R"(<Playlist xmlns="x">)", "</Playlist>"}, ""},
        {"any tag containing the name, last one wins",
         {R"(<Playlist displayName="Disc">)", R"(<PlaylistApplication displayName="Menu"/>)"},
         "Menu"},
        {"an empty displayName empties it",
         {R"(<Playlist displayName="Disc">)", R"(<Playlist displayName="">)"},
         ""},
        {"letter case of the element name counts", {R"(<playlist displayName="Disc">)"}, ""},
    };
    for (const auto& c : cases) {
        PlaylistState state;
        TagChecks checks(state);
        for (const auto& tag : c.tags) checks.run(tag);
        EXPECT_EQ(checks.playlistName(), c.name) << c.what;
    }
}

}  // namespace
}  // namespace tarnwell
