#include "playlist/title_selection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnwell {
namespace {

struct SelectionCase {
    const char* what;
    std::vector<std::string> lines;
    const char* base;
    std::optional<TitleLines> expected;
};

const std::vector<std::string> kTwoTitles = {
    "<Playlist>",                                  // 0
    "  <TitleSet>",                                // 1
    "    <Title id=\"A\" displayName=\"Extra\">",  // 2
    "      <Clip src=\"FEATURE_10.MAP\"/>",        // 3
    "    </Title>",                                // 4
    "    <Title id=\"B\" displayName=\"Main\">",   // 5
    "      <Clip src=\"FEATURE_1.MAP\"/>",         // 6
    "    </Title>",                                // 7
    "  </TitleSet>",                               // 8
    "</Playlist>",                                 // 9
};

TEST(SelectTitle, Rules) {
    const SelectionCase cases[] = {
        {"the title around the clip", kTwoTitles, "FEATURE_10", TitleLines{2, 3}},
        {"FEATURE_10 before FEATURE_1: the first line containing the base name wins", kTwoTitles,
         "FEATURE_1", TitleLines{2, 3}},
        {"an empty base name matches nothing", kTwoTitles, "", std::nullopt},
        {"a base name found nowhere", kTwoTitles, "FEATURE_3", std::nullopt},
        {"letter case of the base name counts", kTwoTitles, "feature_1", std::nullopt},
        {"first found on the very first line", kTwoTitles, "<Playlist", std::nullopt},
        {"the title element in any letter case",
         {"<pl>", "<TITLE id=\"x\">", "<clip FEATURE_1/>", "</title>", "<after/>"},
         "FEATURE_1",
         TitleLines{1, 3}},
        {"a longer element name is no title",
         {"<pl>", "<TitleSet id=\"x\">", "<clip FEATURE_1/>", "</TitleSet>"},
         "FEATURE_1",
         TitleLines{0, 4}},
        {"no title above: nothing deleted above, cut at the first closing title",
         {"<pl>", "<clip FEATURE_1/>", "</Title>", "<x/>"},
         "FEATURE_1",
         TitleLines{0, 3}},
        {"title on the very first line: nothing deleted above",
         {"<Title id=\"x\">", "<clip FEATURE_1/>", "</Title>", "<x/>"},
         "FEATURE_1",
         TitleLines{0, 3}},
        {"no closing title: nothing deleted below",
         {"<pl>", "<Title id=\"x\">", "<clip FEATURE_1/>", "<x/>"},
         "FEATURE_1",
         TitleLines{1, 3}},
        {"a closing title on the first kept line is passed over",
         {"<pl>", "<Title id=\"x\"></Title>", "<clip FEATURE_1/>", "</Title>", "<x/>"},
         "FEATURE_1",
         TitleLines{1, 3}},
        {"\"</TITLE\" also matches a longer closing name",
         {"<pl>", "<Title id=\"x\">", "<clip FEATURE_1/>", "</TitleSet>", "</Title>"},
         "FEATURE_1",
         TitleLines{1, 3}},
        {"a closing title before the clip cuts the clip off",
         {"<pl>", "<Title id=\"x\">", "</Title>", "<clip FEATURE_1/>"},
         "FEATURE_1",
         TitleLines{1, 2}},
        {"the nearest title above the clip, not the first one",
         {"<pl>", "<Title a>", "<Title b>", "<clip FEATURE_1/>", "</Title>"},
         "FEATURE_1",
         TitleLines{2, 3}},
        {"the clip line itself is not searched for the title",
         {"<pl>", "<Title FEATURE_1>", "</Title>"},
         "FEATURE_1",
         TitleLines{0, 3}},
        {"no lines", {}, "FEATURE_1", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(selectTitle(c.lines, c.base), c.expected) << c.what;
}

}  // namespace
}  // namespace tarnwell
