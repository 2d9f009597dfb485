#include "jobs/continuation.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "jobs/socket_file.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

using testing::TempDir;
using testing::writeFile;

// Counts how often the option is read.
class CountingHost : public BasicHost {
  public:
    bool isOptionChecked(Option option) const override {
        if (option == Option::Continue) ++continueReads;
        return BasicHost::isOptionChecked(option);
    }
    mutable int continueReads = 0;
};

class ContinuationTest : public ::testing::Test {
  protected:
    std::string disc(const std::string& name) { return dir.file(name); }
    void touch(const std::string& name, std::vector<std::uint8_t> bytes = {1, 2, 3}) {
        writeFile(disc(name), bytes);
    }
    ContinuationStart plan(const std::string& name) {
        return PlanContinuation("/out/" + name.substr(0, name.size() - 4), name, disc(name), host);
    }

    TempDir dir;
    CountingHost host;
    EngineState state;
    RecordingSink sink;
};

TEST_F(ContinuationTest, FirstPartWithTheSecondBeside) {
    touch("FEATURE_2.EVO");
    const auto start = plan("FEATURE_1.EVO");
    EXPECT_EQ(start.plan, (ContinuationPlan{true, disc("FEATURE_2.EVO"), true}));
    EXPECT_EQ(start.outputBase, "/out/FEATURE_1_2");
    EXPECT_TRUE(sink.lines.empty());
}

TEST_F(ContinuationTest, FirstPartAlone) {
    const auto start = plan("FEATURE_1.EVO");
    EXPECT_EQ(start.plan, (ContinuationPlan{true, disc("FEATURE_2.EVO"), false}));
    EXPECT_EQ(start.outputBase, "/out/FEATURE_1");
}

TEST_F(ContinuationTest, NameTestIsCaseSensitive) {
    touch("feature_2.evo");
    touch("FEATURE_2.EVO");
    for (const char* name : {"feature_1.evo", "FEATURE_1.evo", "Feature_1.Evo", "FEATURE_2.EVO",
                             "FEATURE1.EVO", "1.EVO"}) {
        const auto start = plan(name);
        EXPECT_FALSE(start.plan.applies) << name;
        EXPECT_FALSE(start.plan.suffixed) << name;
    }
    // The next path is formed all the same: the field less five characters, then "2.EVO".
    EXPECT_EQ(plan("feature_1.evo").plan.nextPath, disc("feature_2.EVO"));
    EXPECT_EQ(plan("MOVIE.EVO").plan.nextPath, disc("MOVI2.EVO"));
}

TEST_F(ContinuationTest, ShortestMatchingName) {
    touch("_2.EVO");
    const auto start = plan("_1.EVO");
    EXPECT_TRUE(start.plan.applies);
    EXPECT_TRUE(start.plan.suffixed);
    EXPECT_EQ(start.outputBase, "/out/_1_2");
}

TEST_F(ContinuationTest, FieldShorterThanFiveCharacters) {
    const auto start = PlanContinuation("", "A.E", "A.E", host);
    EXPECT_FALSE(start.plan.applies);
    EXPECT_EQ(start.plan.nextPath, "2.EVO");
}

TEST_F(ContinuationTest, OptionOffPlansNothing) {
    touch("FEATURE_2.EVO");
    host.continueWithNext = false;
    const auto start = plan("FEATURE_1.EVO");
    EXPECT_EQ(start.plan, ContinuationPlan{});
    EXPECT_EQ(start.outputBase, "/out/FEATURE_1");
}

TEST_F(ContinuationTest, FolderNamedLikeTheNextFileDoesNotCount) {
    std::filesystem::create_directory(disc("FEATURE_2.EVO"));
    const auto start = plan("FEATURE_1.EVO");
    EXPECT_TRUE(start.plan.applies);
    EXPECT_FALSE(start.plan.suffixed);
    touch("FEATURE_1.EVO");
    state.InFile.open(disc("FEATURE_1.EVO"));
    EXPECT_FALSE(ContinueWithNext(start.plan, state, sink, host));
}

TEST_F(ContinuationTest, SwitchesToTheNextFile) {
    touch("FEATURE_1.EVO", std::vector<std::uint8_t>(100, 1));
    touch("FEATURE_2.EVO", std::vector<std::uint8_t>(40, 2));
    const auto start = plan("FEATURE_1.EVO");
    state.InFile.open(disc("FEATURE_1.EVO"));
    std::uint8_t buffer[64];
    state.InFile.read(buffer, sizeof buffer);
    ASSERT_TRUE(ContinueWithNext(start.plan, state, sink, host));
    EXPECT_EQ(sink.lines, std::vector<std::string>{"Continue on FEATURE_2.EVO"});
    EXPECT_TRUE(sink.status.empty());
    EXPECT_EQ(state.InFile.path(), disc("FEATURE_2.EVO"));
    EXPECT_EQ(state.InFile.position(), 0);
    EXPECT_EQ(state.InFile.size(), 40);
    EXPECT_EQ(host.continueReads, 2);
}

TEST_F(ContinuationTest, EachConditionHoldsItBack) {
    touch("FEATURE_1.EVO");
    touch("FEATURE_2.EVO");
    const auto start = plan("FEATURE_1.EVO");
    struct Case {
        const char* what;
        bool option, cancel, applies, present;
    };
    for (const auto& c : {Case{"option switched off", false, false, true, true},
                          Case{"cancel confirmed", true, true, true, true},
                          Case{"name test failed", true, false, false, true},
                          Case{"next file gone", true, false, true, false}}) {
        SCOPED_TRACE(c.what);
        state.InFile.open(disc("FEATURE_1.EVO"));
        host.continueWithNext = c.option;
        state.CancelRequested = c.cancel;
        auto plan = start.plan;
        plan.applies = c.applies;
        if (!c.present) plan.nextPath = disc("FEATURE_3.EVO");
        EXPECT_FALSE(ContinueWithNext(plan, state, sink, host));
        EXPECT_TRUE(state.InFile.isOpen());
        EXPECT_EQ(state.InFile.path(), disc("FEATURE_1.EVO"));
        EXPECT_TRUE(sink.lines.empty());
    }
}

TEST_F(ContinuationTest, NextFileAppearingAfterTheStartIsTaken) {
    touch("FEATURE_1.EVO");
    const auto start = plan("FEATURE_1.EVO");
    EXPECT_FALSE(start.plan.suffixed);
    touch("FEATURE_2.EVO");
    state.InFile.open(disc("FEATURE_1.EVO"));
    EXPECT_TRUE(ContinueWithNext(start.plan, state, sink, host));
}

TEST_F(ContinuationTest, NextFileThatCannotBeOpenedRaisesTheOpenError) {
    touch("FEATURE_1.EVO");
    touch("FEATURE_2.EVO");
    const auto start = plan("FEATURE_1.EVO");
    state.InFile.open(disc("FEATURE_1.EVO"));
    // Replaced by something that exists but cannot be opened as a file.
    std::filesystem::remove(disc("FEATURE_2.EVO"));
    testing::makeSocketFile(disc("FEATURE_2.EVO"));
    try {
        ContinueWithNext(start.plan, state, sink, host);
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot open file \"" + disc("FEATURE_2.EVO") + "\". No such device or address");
    }
    EXPECT_FALSE(state.InFile.isOpen());
    EXPECT_TRUE(sink.lines.empty());
}

}  // namespace
}  // namespace tarnwell
