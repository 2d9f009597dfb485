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

}  // namespace
}  // namespace tarnwell
