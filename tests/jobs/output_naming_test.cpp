#include "jobs/output_naming.h"

#include <gtest/gtest.h>

namespace tarnwell {
namespace {

struct BaseCase {
    const char* workdir;
    const char* stem;
    const char* base;
};

void PrintTo(const BaseCase& c, std::ostream* out) {
    *out << "'" << c.workdir << "' '" << c.stem << "'";
}

class OutputBaseTest : public ::testing::TestWithParam<BaseCase> {};

TEST_P(OutputBaseTest, JoinsFolderAndStem) {
    EXPECT_EQ(outputBase(GetParam().workdir, GetParam().stem), GetParam().base);
}

INSTANTIATE_TEST_SUITE_P(Folders, OutputBaseTest,
                         ::testing::Values(BaseCase{"/out", "FEATURE_1", "/out/FEATURE_1"},
                                           BaseCase{"/out/", "FEATURE_1", "/out/FEATURE_1"},
                                           BaseCase{"", "FEATURE_1", "FEATURE_1"},
                                           BaseCase{"/", "F", "/F"}, BaseCase{"out", "F", "out/F"},
                                           // Nothing is collapsed or checked.
                                           BaseCase{"/out//", "F", "/out//F"},
                                           BaseCase{"/out", "", "/out/"}, BaseCase{"", "", ""}));

TEST(OutputNamingTest, StreamAndTimeStampFiles) {
    EXPECT_EQ(streamFileName("/out/FEATURE_1", "VC-1.stream.0", "mpv"),
              "/out/FEATURE_1.VC-1.stream.0.mpv");
    EXPECT_EQ(streamFileName("/out/FEATURE_1_2", "DD+.stream.00", "mpa"),
              "/out/FEATURE_1_2.DD+.stream.00.mpa");
    EXPECT_EQ(streamFileName("FEATURE_1", "Subpicture.00", "sup"), "FEATURE_1.Subpicture.00.sup");
    EXPECT_EQ(ptsFileName("FEATURE_1", "Subpicture.00"), "FEATURE_1.Subpicture.00.pts");
    // An empty extension leaves the period after the caption.
    EXPECT_EQ(streamFileName("/out/F", "VC-1.stream.0", ""), "/out/F.VC-1.stream.0.");
    // Captions from the playlist stand as they are.
    EXPECT_EQ(streamFileName("/out/F", "English / 5.1", "mpa"), "/out/F.English / 5.1.mpa");
}

TEST(OutputNamingTest, RebuiltFile) {
    EXPECT_EQ(rebuiltFileName(outputBase("/out", "FEATURE_1") + "_2"),
              "/out/FEATURE_1_2.rebuilt.EVO");
    EXPECT_EQ(rebuiltFileName(outputBase("", "FEATURE_1")), "FEATURE_1.rebuilt.EVO");
}

// Matroska-ready names: the extension from the scan's code, the delay against video 0.
struct MatroskaNameCase {
    SlotKind kind;
    std::int32_t code;
    std::int64_t firstPts;
    std::int64_t videoFirstPts;
    const char* name;
};

TEST(OutputNamingTest, MatroskaReadyNames) {
    constexpr std::int64_t kWrap = std::int64_t{1} << 33;
    const MatroskaNameCase cases[] = {
        {SlotKind::Video, 0xE1, 900, 900, "B.C.m2v"},
        {SlotKind::Video, 0xE2, 900, 900, "B.C.h264"},
        {SlotKind::Video, 0x55, 900, 900, "B.C.vc1"},
        {SlotKind::Audio, 0x87, 90000 + 10800, 90000, "B.C DELAY 120ms.ac3"},
        {SlotKind::Audio, 0xC3, 90000, 90000 + 10800, "B.C DELAY -120ms.eac3"},
        {SlotKind::Audio, 0x8A, 45, 0, "B.C DELAY 1ms.dts"},  // a half rounds away from 0
        {SlotKind::Audio, 0xB1, 0, 45, "B.C DELAY -1ms.thd"},
        {SlotKind::Audio, 0xA7, 44, 0, "B.C.wav"},  // rounds to 0: no delay part
        {SlotKind::Audio, 0xC0, 100, kWrap - 8900, "B.C DELAY 100ms.eac3"},  // across the wrap
        {SlotKind::Audio, 0xC0, kWrap - 8900, 100, "B.C DELAY -100ms.eac3"},
        {SlotKind::Audio, 0xC0, 5000, -1, "B.C.eac3"},  // video without a time stamp
        {SlotKind::Subpicture, 0x3F, 9000, 0, "B.C.sup"},
        {SlotKind::Subpicture, 0x61, 9000, 0, "B.C.sup"},
        {SlotKind::Audio, 0xA8, 0, 0, "B.C."},  // no known codec
        {SlotKind::Video, 0x80, 0, 0, "B.C."},
    };
    for (const auto& c : cases) {
        const bool audio = c.kind == SlotKind::Audio;
        EXPECT_EQ(
            delayedStreamFileName("B", "C", audio ? streamDelayMs(c.firstPts, c.videoFirstPts) : 0,
                                  codecExtension(c.kind, c.code)),
            c.name);
    }
    EXPECT_EQ(chaptersFileName("/o/F_1_2"), "/o/F_1_2.chapters.xml");
    EXPECT_EQ(mkvmergeOptionFileName("/o/F"), "/o/F.mkvmerge.json");
    EXPECT_EQ(matroskaFileName("/o/F"), "/o/F.mkv");
}

TEST(OutputNamingTest, TitleFilesAreSafeAndDistinct) {
    // Given out of number order: the duplicates are counted in title-number order, letter
    // case aside, past a name that already holds the count.
    EXPECT_EQ(titleFileNames({{3, "feature"},
                              {1, "Feature"},
                              {2, "A/B\\C:D*E?F\"G<H>I|J\tK\x7F"},
                              {4, ""},
                              {5, "Feature (2)"},
                              {6, "FEATURE"}}),
              (std::vector<std::string>{"feature (2)", "Feature", "A_B_C_D_E_F_G_H_I_J_K_",
                                        "Title 4", "Feature (2) (2)", "FEATURE (3)"}));
    // A long name is cut before the character that crosses the limit ("é" is two bytes).
    const std::string longName = std::string(kTitleNameBytes - 1, 'x') + "\xC3\xA9z";
    EXPECT_EQ(titleFileNames({{1, longName}}).front(), std::string(kTitleNameBytes - 1, 'x'));
    // Bytes that are no UTF-8 are cut at the limit, never to nothing.
    EXPECT_EQ(titleFileNames({{1, "A" + std::string(300, '\x9B')}}).front().size(), kTitleNameBytes);
    EXPECT_EQ(titleMatroskaFile("/out", "Feature"), "/out/Feature.mkv");
}

}  // namespace
}  // namespace tarnwell
