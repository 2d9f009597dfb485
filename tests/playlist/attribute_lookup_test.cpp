#include "playlist/attribute_lookup.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwell {
namespace {

struct LookupCase {
    const char* what;
    std::string tag;
    const char* name;
    bool found;
    std::string value;
};

TEST(GetAttr, MatchWindowAndQuotingRules) {
    // A value that closes exactly at the window's last character, and one a character later.
    const std::string fits = "<a x=\"" + std::string(252, 'v') + "\"/>";
    const std::string beyond = "<a x=\"" + std::string(253, 'v') + "\"/>";
    const LookupCase cases[] = {
        {"plain", R"(<Title displayName="Feature" titleDuration="01:00">)", "displayName", true,
         "Feature"},
        {"name in any letter case", R"(<Title DISPLAYNAME="Feature">)", "displayName", true,
         "Feature"},
        {"needle in any letter case", R"(<Title displayName="Feature">)", "DisplayName", true,
         "Feature"},
        {"substring inside a longer name", R"(<Title displayName="Feature" name="x">)", "name",
         true, "Feature"},
        {"first occurrence wins", R"(<a codec="A" codec="B">)", "codec", true, "A"},
        {"absent", R"(<Title displayName="Feature">)", "titleDuration", false, ""},
        {"empty value", R"(<a index="">)", "index", true, ""},
        {"no quote at all", "<a index=5>", "index", true, ""},
        {"only an opening quote", R"(<a index="5>)", "index", true, ""},
        {"blanks around the equals sign", R"(<a index = "7">)", "index", true, "7"},
        {"no equals sign takes the next quoted text", R"(<a index "3">)", "index", true, "3"},
        {"equals sign inside the value", R"(<a src="x=y">)", "src", true, "x=y"},
        {"the equals sign of a later attribute", R"(<a index "3" b="4">)", "index", true, "4"},
        {"single quotes give the next double-quoted value", R"(<a index='1' codec="DD+">)", "index",
         true, "DD+"},
        {"single quotes without a double-quoted value", "<a index='1' codec='DD+'>", "index", true,
         ""},
        {"value ending inside the window", fits, "x", true, std::string(252, 'v')},
        {"value ending beyond the window", beyond, "x", true, ""},
        {"name at the very end", "<a index", "index", true, ""},
        {"bytes above 127 kept",
         "<a d=\"Fran\xC3\xA7"
         "ais\">",
         "d", true,
         "Fran\xC3\xA7"
         "ais"},
    };
    for (const auto& c : cases) {
        const auto result = GetAttr(c.tag, c.name);
        EXPECT_EQ(result.found, c.found) << c.what;
        EXPECT_EQ(result.text, c.value) << c.what;
    }
}

TEST(GetAttr, EqualsSignOfAnotherAttributeInsideTheWindow) {
    // Without "=" straight after the name, the first "=" of the window is the one dropped to,
    // so the lookup lands behind the next attribute's opening quote.
    const auto result = GetAttr(R"(<a flag "b=c" d="e">)", "flag");
    EXPECT_TRUE(result.found);
    EXPECT_EQ(result.text, " d=");
}

TEST(GetAttrInt, OptionalSignThenDecimalDigitsWithin32Bits) {
    struct IntCase {
        const char* tag;
        std::int32_t expected;
    };
    const IntCase cases[] = {
        {R"(<a n="7">)", 7},
        {R"(<a n="007">)", 7},
        {R"(<a n="+7">)", 7},
        {R"(<a n="-7">)", -7},
        {R"(<a n="0">)", 0},
        {R"(<a n="2147483647">)", 2147483647},
        {R"(<a n="-2147483648">)", -2147483647 - 1},
        {R"(<a n="2147483648">)", 0},
        {R"(<a n="-2147483649">)", 0},
        {R"(<a n="99999999999999999999999">)", 0},
        {R"(<a n="">)", 0},
        {"<a>", 0},
        {R"(<a n="+">)", 0},
        {R"(<a n="-">)", 0},
        {R"(<a n=" 7">)", 0},
        {R"(<a n="7 ">)", 0},
        {R"(<a n="7a">)", 0},
        {R"(<a n="0x10">)", 0},
        {R"(<a n="$10">)", 0},
        {R"(<a n="1.5">)", 0},
        {R"(<a n="+-1">)", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(GetAttrInt(c.tag, "n"), c.expected) << c.tag;
}

TEST(FindNoCase, OnlyAsciiLettersFoldAndEmptyNeedleMatchesAtStart) {
    EXPECT_EQ(findNoCase("  <Title id", "<TITLE "), 2u);
    EXPECT_EQ(findNoCase("<TitleSet>", "<TITLE "), std::string_view::npos);
    EXPECT_EQ(findNoCase("a[b", "A{B"), std::string_view::npos);  // '[' is not '{' in upper case
    EXPECT_EQ(findNoCase("ab", "abc"), std::string_view::npos);
    EXPECT_EQ(findNoCase("abc", ""), 0u);
}

}  // namespace
}  // namespace tarnwell
