#include "playlist/tag_scanner.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "io/report_sink.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

struct Scan {
    std::vector<std::string> lines;
    TagScanner scanner{[this](std::string&& line) { lines.push_back(std::move(line)); }};
};

std::vector<std::string> scanWhole(std::string_view text) {
    Scan scan;
    scan.scanner.feed(bytesOf(text));
    return scan.lines;
}

struct ScanCase {
    const char* what;
    std::string text;
    std::vector<std::string> lines;
    std::int64_t depth;
};

const std::vector<ScanCase>& scanCases() {
    static const std::vector<ScanCase> cases = {
        {"nesting, closing tags at their opening tag's indentation, empty element",
         "<a>\n<b>text</b>\n<c/>\n</a>",
         {"<a>", "  <b>", "  </b>", "  <c/>", "</a>"},
         0},
        {"declaration and comments leave the indentation alone",
         "<?xml version=\"1.0\"?>\n<!-- top -->\n<a>\n<!-- inner -->\n<b/>\n</a>\n",
         {"<?xml version=\"1.0\"?>", "<!-- top -->", "<a>", "  <!-- inner -->", "  <b/>", "</a>"},
         0},
        {"line breaks and tabs become one blank; a real blank after a break is kept",
         "<Video\r\n\ttrack=\"1\"\n mediaAttr=\"2\"/>",
         {"<Video track=\"1\"  mediaAttr=\"2\"/>"},
         0},
        {"a break right after the opening bracket",
         "<\n\tTitle id=\"x\">",
         {"< Title id=\"x\">"},
         1},
        {"text between tags is not kept", "some text<a>more text", {"<a>"}, 1},
        {"a '>' while no tag is open still ends a (blank) line",
         "<a>x>y</a>",
         {"<a>", "  ", "</a>"},
         0},
        {"a '>' before any tag gives an empty line", "x><a>", {"", "<a>"}, 1},
        {"'/' after '<' at depth 0 removes the first two characters", "</x><y>", {"x>", "<y>"}, 0},
        {"depth below 0 writes no indentation", "</a></b><c>", {"a>", "b>", "<c>"}, -1},
        {"processing instruction inside an element",
         "<a><?pi data?><b/></a>",
         {"<a>", "  <?pi data?>", "  <b/>", "</a>"},
         0},
        {"'--' right before '>' counts as a comment end", "<a--><b>", {"<a-->", "<b>"}, 1},
        {"a '<' inside a tag opens another level", "<a <b>", {"<a <b>"}, 2},
        {"bytes above 127 are kept", "<a d=\"\xE9t\xE9\">", {"<a d=\"\xE9t\xE9\">"}, 1},
        {"an unfinished tag is not a line", "<a><b attr=\"x", {"<a>"}, 2},
        {"empty input", "", {}, 0},
    };
    return cases;
}

TEST(TagScanner, ScanRules) {
    for (const auto& c : scanCases()) {
        Scan scan;
        scan.scanner.feed(bytesOf(c.text));
        EXPECT_EQ(scan.lines, c.lines) << c.what;
        EXPECT_EQ(scan.scanner.depth(), c.depth) << c.what;
    }
}

TEST(TagScanner, PiecesOfAnySizeGiveTheSameLines) {
    // The state (tag text, depth, in-tag flag, the previous two bytes) carries across pieces,
    // so every split point, "<" "/" and "-" "-" ">" included, must give the whole-text result.
    for (const auto& c : scanCases()) {
        const auto whole = scanWhole(c.text);
        for (std::size_t split = 0; split <= c.text.size(); ++split) {
            Scan scan;
            scan.scanner.feed(bytesOf(std::string_view(c.text).substr(0, split)));
            scan.scanner.feed(bytesOf(std::string_view(c.text).substr(split)));
            EXPECT_EQ(scan.lines, whole) << c.what << ", split at " << split;
        }
        Scan byteByByte;
        for (const char ch : c.text) byteByByte.scanner.feed(bytesOf(std::string_view(&ch, 1)));
        EXPECT_EQ(byteByByte.lines, whole) << c.what << ", byte by byte";
    }
}

TEST(TagScanner, IndentationStopsGrowingAtTheLevelCap) {
    std::string text;
    const int levels = 40;
    for (int i = 0; i < levels; ++i) text += "<a>";
    text += "<b/><!-- c -->";
    for (int i = 0; i < levels; ++i) text += "</a>";
    const auto lines = scanWhole(text);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(2 * levels + 2));
    // Every line stands at its nesting level, or at the cap when that is deeper.
    auto expected = [](int level, const char* tag) {
        return std::string(2 * std::min<int>(level, kMaxIndentLevels), ' ') + tag;
    };
    for (int level = 0; level < levels; ++level) {
        EXPECT_EQ(lines[level], expected(level, "<a>")) << level;
        EXPECT_EQ(lines[2 * levels + 1 - level], expected(level, "</a>")) << level;
    }
    EXPECT_EQ(lines[levels], expected(levels, "<b/>"));
    EXPECT_EQ(lines[levels + 1], expected(levels, "<!-- c -->"));
}

TEST(TagScanner, LevelsBeyondTheCapAreWrittenWhileTheBudgetLasts) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += "<a>";
    // The first lines beyond the cap need 2, 4, 6 and 8 more blanks: 20 in all, 12 affordable.
    std::vector<std::string> lines;
    TagScanner scanner([&](std::string&& line) { lines.push_back(std::move(line)); }, 12);
    scanner.feed(bytesOf(text));
    ASSERT_EQ(lines.size(), 40u);
    const auto blanks = [&](std::size_t k) { return lines[k].find('<'); };
    for (std::size_t k = 0; k <= 35; ++k) EXPECT_EQ(blanks(k), 2 * k) << k;
    // Once the budget is spent, the cap holds for the rest of the read.
    for (std::size_t k = 36; k < 40; ++k) EXPECT_EQ(blanks(k), 2 * kMaxIndentLevels) << k;
}

TEST(TagScanner, TagLinesStayWithinASmallMultipleOfTheInput) {
    // Only opening tags: without the cap the lines would grow with the square of the input.
    std::string text;
    for (int i = 0; i < 5000; ++i) text += "<a>";
    std::size_t total = 0;
    for (const auto& line : scanWhole(text)) total += line.size();
    EXPECT_LE(total, text.size() * (2 * kMaxIndentLevels + 3) / 3);
}

TEST(ScanTagFile, ReadsBlocksAndReportsPositionAfterEach) {
    testing::TempDir dir;
    // A tag straddles the first block boundary.
    std::string text(32760, ' ');
    text += "<Audio streamNumber=\"1\"/>";
    text.resize(70000, ' ');
    text += "<b>";
    testing::writeFile(dir.file("x.xpl"), std::vector<std::uint8_t>(text.begin(), text.end()));

    InputFile file;
    file.open(dir.file("x.xpl"));
    Scan scan;
    RecordingSink sink;
    std::array<std::uint8_t, 32768> buffer{};
    scanTagFile(file, buffer, scan.scanner, sink);

    EXPECT_EQ(scan.lines, (std::vector<std::string>{"<Audio streamNumber=\"1\"/>", "<b>"}));
    EXPECT_EQ(
        sink.statusTexts(1),
        (std::vector<std::string>{"32768/70003 bytes", "65536/70003 bytes", "70003/70003 bytes"}));
    EXPECT_TRUE(sink.statusTexts(0).empty());
    EXPECT_TRUE(sink.lines.empty());
}

TEST(ScanTagFile, EmptyFileReportsNothing) {
    testing::TempDir dir;
    testing::writeFile(dir.file("empty.xpl"), {});
    InputFile file;
    file.open(dir.file("empty.xpl"));
    Scan scan;
    RecordingSink sink;
    std::array<std::uint8_t, 32768> buffer{};
    scanTagFile(file, buffer, scan.scanner, sink);
    EXPECT_TRUE(scan.lines.empty());
    EXPECT_TRUE(sink.status.empty());
}

}  // namespace
}  // namespace tarnwell
