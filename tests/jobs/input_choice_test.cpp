#include "jobs/input_choice.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwell {
namespace {

struct EvoCase {
    const char* path;
    const char* evoName;
    const char* evoBase;
    const char* evoDir;
    const char* xplField;  // what the playlist field shows afterwards
    bool readXpl;          // Read XPL enabled (nothing known before)
};

void PrintTo(const EvoCase& c, std::ostream* out) {
    *out << "'" << c.path << "'";
}

class EvoAdjTest : public ::testing::TestWithParam<EvoCase> {};

TEST_P(EvoAdjTest, DerivesNamesAndFindsThePlaylist) {
    const auto& c = GetParam();
    BasicHost host;
    InputChoice input;
    input.chooseEvo(c.path, host);
    EXPECT_EQ(input.evoField(), c.path);
    EXPECT_EQ(input.EVOname, c.evoName);
    EXPECT_EQ(input.EVObase, c.evoBase);
    EXPECT_EQ(input.EVOdir, c.evoDir);
    EXPECT_EQ(input.xplField(), c.xplField);
    EXPECT_EQ(host.isEnabled(Command::ReadEvo), std::string(c.path) != "");
    EXPECT_EQ(host.isEnabled(Command::ReadXpl), c.readXpl);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, EvoAdjTest,
    ::testing::Values(
        EvoCase{"/disc/HVDVD_TS/FEATURE_1.EVO", "FEATURE_1.EVO", "FEATURE_1", "/disc/HVDVD_TS/",
                "/disc/ADV_OBJ/VPLST000.XPL", true},
        // The tail is the folder's last nine characters, whatever comes before them.
        EvoCase{"/disc/MYHVDVD_TS/A.EVO", "A.EVO", "A", "/disc/MYHVDVD_TS/",
                "/disc/MYADV_OBJ/VPLST000.XPL", true},
        // A relative folder that is exactly the tail.
        EvoCase{"HVDVD_TS/F.EVO", "F.EVO", "F", "HVDVD_TS/", "ADV_OBJ/VPLST000.XPL", true},
        // Letter case is respected.
        EvoCase{"/disc/hvdvd_ts/FEATURE_1.EVO", "FEATURE_1.EVO", "FEATURE_1", "/disc/hvdvd_ts/",
                "VPLST000.XPL", false},
        // A folder text shorter than the tail never matches.
        EvoCase{"VDVD_TS/X.EVO", "X.EVO", "X", "VDVD_TS/", "VPLST000.XPL", false},
        EvoCase{"/movies/MOVIE.evo", "MOVIE.evo", "MOVIE", "/movies/", "VPLST000.XPL", false},
        // A name of four characters or fewer has an empty stem.
        EvoCase{"/x/.EVO", ".EVO", "", "/x/", "VPLST000.XPL", false},
        EvoCase{"/x/A.EV", "A.EV", "", "/x/", "VPLST000.XPL", false},
        EvoCase{"A.EVO", "A.EVO", "A", "", "VPLST000.XPL", false},
        // A cancelled dialog before any choice: empty everything, the playlist field reset.
        EvoCase{"", "", "", "", "VPLST000.XPL", false}));

TEST(InputChoiceTest, LongPathsAreKeptWhole) {
    BasicHost host;
    InputChoice input;
    const std::string folder = "/" + std::string(300, 'd') + "/HVDVD_TS/";
    const std::string path = folder + std::string(200, 'n') + "_1.EVO";
    input.chooseEvo(path, host);
    EXPECT_EQ(input.evoField(), path);
    EXPECT_EQ(input.EVOname, std::string(200, 'n') + "_1.EVO");
    EXPECT_EQ(input.xplField(), "/" + std::string(300, 'd') + "/ADV_OBJ/VPLST000.XPL");

    InputChoice dropped;
    EXPECT_TRUE(dropped.dropFiles({path}, host));
    EXPECT_EQ(dropped.evoField(), path);
}

TEST(InputChoiceTest, EvoOutsideTheDiscLayoutKeepsTheKnownPlaylist) {
    BasicHost host;
    InputChoice input;
    input.chooseXpl("/disc/ADV_OBJ/VPLST000.XPL", host);
    input.chooseEvo("/elsewhere/MOVIE.EVO", host);
    EXPECT_EQ(input.xplField(), "VPLST000.XPL");
    EXPECT_EQ(input.XPLdir, "/disc/ADV_OBJ/");
    EXPECT_EQ(input.XPLname, "VPLST000.XPL");
    EXPECT_TRUE(host.isEnabled(Command::ReadXpl));
}

TEST(InputChoiceTest, EvoInTheDiscLayoutPresetsThePlaylistDialog) {
    BasicHost host;
    InputChoice input;
    input.chooseEvo("/disc/HVDVD_TS/FEATURE_2.EVO", host);
    EXPECT_EQ(input.XPLdir, "/disc/ADV_OBJ/");
    EXPECT_EQ(input.XPLname, "VPLST000.XPL");
    EXPECT_EQ(input.xplDialogFileName, "VPLST000.XPL");
}

TEST(InputChoiceTest, CancelledEvoDialogDisablesReadEvo) {
    BasicHost host;
    InputChoice input;
    input.chooseEvo("/disc/HVDVD_TS/FEATURE_1.EVO", host);
    ASSERT_TRUE(host.isEnabled(Command::ReadEvo));
    input.chooseEvo("", host);
    EXPECT_FALSE(host.isEnabled(Command::ReadEvo));
    EXPECT_EQ(input.xplField(), "VPLST000.XPL");
    EXPECT_EQ(input.EVOdir, "");
    // The playlist name found before stays known.
    EXPECT_TRUE(host.isEnabled(Command::ReadXpl));
}

struct XplCase {
    const char* path;
    const char* xplName;
    const char* xplDir;
    const char* evoDir;  // EVOdir afterwards, starting from "/old/"
    bool readXpl;
};

void PrintTo(const XplCase& c, std::ostream* out) {
    *out << "'" << c.path << "'";
}

class XplAdjTest : public ::testing::TestWithParam<XplCase> {};

TEST_P(XplAdjTest, DerivesNamesAndTheEvoFolder) {
    const auto& c = GetParam();
    BasicHost host;
    InputChoice input;
    input.chooseEvo("/old/MOVIE.EVO", host);
    input.chooseXpl(c.path, host);
    EXPECT_EQ(input.xplField(), c.path);
    EXPECT_EQ(input.XPLname, c.xplName);
    EXPECT_EQ(input.XPLdir, c.xplDir);
    EXPECT_EQ(input.EVOdir, c.evoDir);
    EXPECT_EQ(host.isEnabled(Command::ReadXpl), c.readXpl);
    // The EVO field and its names are not touched.
    EXPECT_EQ(input.evoField(), "/old/MOVIE.EVO");
    EXPECT_EQ(input.EVOname, "MOVIE.EVO");
    EXPECT_EQ(input.EVObase, "MOVIE");
}

INSTANTIATE_TEST_SUITE_P(
    Paths, XplAdjTest,
    ::testing::Values(
        XplCase{"/disc/ADV_OBJ/VPLST000.XPL", "VPLST000.XPL", "/disc/ADV_OBJ/", "/disc/HVDVD_TS/",
                true},
        XplCase{"ADV_OBJ/VPLST000.XPL", "VPLST000.XPL", "ADV_OBJ/", "HVDVD_TS/", true},
        XplCase{"/disc/adv_obj/VPLST000.XPL", "VPLST000.XPL", "/disc/adv_obj/", "/old/", true},
        XplCase{"DV_OBJ/P.XPL", "P.XPL", "DV_OBJ/", "/old/", true},
        // The bare name a cancelled, preset dialog leaves.
        XplCase{"VPLST000.XPL", "VPLST000.XPL", "", "/old/", true},
        XplCase{"/disc/ADV_OBJ/", "", "/disc/ADV_OBJ/", "/disc/HVDVD_TS/", false},
        XplCase{"", "", "", "/old/", false}));

TEST(InputChoiceTest, DropTakesTheFirstFileByItsExtension) {
    BasicHost host;
    InputChoice input;
    EXPECT_TRUE(input.dropFiles({"/a/MOVIE.evo", "/b/OTHER.EVO", "/c/VPLST000.XPL"}, host));
    EXPECT_EQ(input.evoField(), "/a/MOVIE.evo");
    EXPECT_EQ(input.xplField(), "VPLST000.XPL");

    EXPECT_TRUE(input.dropFiles({"/disc/ADV_OBJ/vplst000.xpl"}, host));
    EXPECT_EQ(input.xplField(), "/disc/ADV_OBJ/vplst000.xpl");
    EXPECT_EQ(input.evoField(), "/a/MOVIE.evo");
}

TEST(InputChoiceTest, DropOfAnythingElseChangesNothing) {
    BasicHost host;
    InputChoice input;
    input.chooseEvo("/disc/HVDVD_TS/FEATURE_1.EVO", host);
    int changes = 0;
    input.onFieldsChanged = [&changes] { ++changes; };
    for (const auto& files : std::vector<std::vector<std::string>>{
             {}, {"/a/notes.txt", "/b/F.EVO"}, {"/a/EVO"}, {"/a.EVO/readme"}, {"/a/F.EVO.bak"}}) {
        EXPECT_FALSE(input.dropFiles(files, host));
    }
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(input.evoField(), "/disc/HVDVD_TS/FEATURE_1.EVO");
    EXPECT_EQ(input.xplField(), "/disc/ADV_OBJ/VPLST000.XPL");
}

}  // namespace
}  // namespace tarnwell
