#include "jobs/job_fixture.h"

namespace tarnwell::testing {
namespace {

class CommandsTest : public JobFixture {
  protected:
    struct Snapshot {
        std::size_t lines;
        std::size_t statusCalls;
        std::array<bool, kCommandCount> enabled;
        int page;
        std::string inPath;
        std::int64_t inPosition;
        bool operator==(const Snapshot&) const = default;
    };
    Snapshot snapshot() {
        return {sink.lines.size(),
                sink.status.size(),
                host.commandEnabled,
                host.page,
                commands.state().InFile.path(),
                commands.state().InFile.position()};
    }

    // Inside the running job's event processing, every job is refused and changes nothing.
    void tryEveryJobWhileRunning() {
        host.onProcessEvents = [this] {
            ++rounds;
            EXPECT_TRUE(commands.jobRunning());
            host.page = 3;
            const auto before = snapshot();
            EXPECT_FALSE(commands.readEvo());
            EXPECT_FALSE(commands.bDemuxClick());
            EXPECT_FALSE(commands.bRebuildClick());
            EXPECT_FALSE(commands.bReadXPLClick());
            EXPECT_EQ(snapshot(), before);
            EXPECT_TRUE(commands.jobRunning());
        };
    }

    int rounds = 0;
};

TEST_F(CommandsTest, SecondJobIsRefusedDuringARead) {
    const auto evo = EvoFixture::title(9 << 20, 61);
    evo.save(disc("FEATURE_1.EVO"));
    choose("FEATURE_1.EVO");
    tryEveryJobWhileRunning();
    EXPECT_EQ(read(), "");
    EXPECT_EQ(rounds, 2);
    EXPECT_FALSE(commands.jobRunning());
    EXPECT_EQ(sink.lines.back(),
              std::to_string(evo.frames(0)) + " frames count in video stream 0.");
}

TEST_F(CommandsTest, SecondJobIsRefusedDuringADemux) {
    const auto evo = EvoFixture::title(5 << 20, 62);
    evo.save(disc("FEATURE_1.EVO"));
    choose("FEATURE_1.EVO");
    ASSERT_EQ(read(), "");
    tryEveryJobWhileRunning();
    EXPECT_EQ(demuxJob(), "");
    EXPECT_EQ(rounds, 1);
    EXPECT_EQ(readFile(out("FEATURE_1.VC-1.stream.0.mpv")), evo.streamBytes(0x55));
    EXPECT_EQ(sink.lines.back(),
              std::to_string(evo.frames(0)) + " frames count in video stream 0.");
}

TEST_F(CommandsTest, FailedJobReleasesTheCommands) {
    choose("MISSING.EVO");
    EXPECT_NE(read(), "");
    EXPECT_FALSE(commands.jobRunning());
    EvoFixture::title(40000, 63).save(disc("FEATURE_1.EVO"));
    choose("FEATURE_1.EVO");
    EXPECT_EQ(read(), "");
}

TEST_F(CommandsTest, CancelBetweenJobsDoesNotStopTheNextOne) {
    const auto evo = EvoFixture::title(40000, 64);
    evo.save(disc("FEATURE_1.EVO"));
    choose("FEATURE_1.EVO");
    commands.bCancelClick();
    EXPECT_EQ(read(), "");
    EXPECT_EQ(sink.lines.back(),
              std::to_string(evo.frames(0)) + " frames count in video stream 0.");
    EXPECT_EQ(host.questions, 0);
}

TEST_F(CommandsTest, CancelAsksOnlyAfterADemuxStarted) {
    EvoFixture::title(40000, 65).save(disc("FEATURE_1.EVO"));
    choose("FEATURE_1.EVO");
    ASSERT_EQ(read(), "");
    commands.bCancelClick();
    EXPECT_EQ(host.questions, 0);
    ASSERT_EQ(demuxJob(), "");
    host.confirmAnswer = false;
    commands.bCancelClick();
    EXPECT_EQ(host.questions, 1);
    EXPECT_FALSE(commands.state().CancelRequested);
}

TEST_F(CommandsTest, DemuxCommandFollowsTheTickedBoxes) {
    EvoFixture::title(40000, 66).save(disc("FEATURE_1.EVO"));
    choose("FEATURE_1.EVO");
    ASSERT_EQ(read(), "");
    auto& selection = commands.selection();
    selection.click(SlotKind::Video, 0);
    selection.click(SlotKind::Audio, 0);
    EXPECT_TRUE(host.isEnabled(Command::Demux));
    selection.click(SlotKind::Subpicture, 0);
    EXPECT_FALSE(host.isEnabled(Command::Demux));
    selection.click(SlotKind::Audio, 0);
    EXPECT_TRUE(host.isEnabled(Command::Demux));
}

}  // namespace
}  // namespace tarnwell::testing
