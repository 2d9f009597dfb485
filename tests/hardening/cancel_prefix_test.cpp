// Cancel confirmed at every moment a run lets it in: at each progress step of a title of five
// steps, the last one included. The job ends as normally, without the continuation, and what
// it wrote is exactly the start of what a whole run writes, up to the block in hand.

#include "hardening/hardening_fixture.h"

namespace tarnwell::testing {
namespace {

using Lines = std::vector<std::string>;

class CancelPrefixTest : public HardeningFixture {
  protected:
    void cancelAtEveryStep(Job job, const Lines& expectedLog) {
        const auto title = readTitle(20 << 20, 71);
        // A next file that a cancelled job must not go on into.
        EvoFixture::title(100000, 72).save(disc("FEATURE_2.EVO"));
        ASSERT_EQ(runJob(job), "");
        const auto full = outputs();
        const auto steps = static_cast<int>(title.size() / kStep);
        ASSERT_EQ(steps, 5);

        for (int step = 1; step <= steps; ++step) {
            SCOPED_TRACE("cancel at step " + std::to_string(step));
            int rounds = 0;
            host.questions = 0;
            host.onProcessEvents = [&] {
                if (++rounds == step) commands.bCancelClick();
            };
            const auto from = sink.lines.size();
            const auto statusFrom = sink.status.size();
            const int files = openFileCount();

            EXPECT_EQ(runJob(job), "");

            EXPECT_EQ(host.questions, 1);
            EXPECT_EQ(host.lastQuestion, kCancelQuestion);
            EXPECT_EQ(rounds, step);
            EXPECT_EQ(linesFrom(from), expectedLog);
            Lines progress;
            for (auto call = sink.status.begin() + static_cast<std::ptrdiff_t>(statusFrom);
                 call != sink.status.end(); ++call)
                if (call->panel == 1) progress.push_back(call->text);
            EXPECT_EQ(progress.size(), static_cast<std::size_t>(step) + 1);
            EXPECT_EQ(progress.back(), "");
            EXPECT_EQ(sink.panels[0], "Ready");
            EXPECT_TRUE(host.isEnabled(job == Job::Demux ? Command::Demux : Command::Rebuild));
            if (job == Job::Demux) {
                EXPECT_EQ(commands.state().FrameCount, (std::array<std::int32_t, 2>{0, 0}));
            }
            EXPECT_FALSE(anyFileOpen());
            EXPECT_EQ(openFileCount(), files);

            const auto written = outputs();
            ASSERT_EQ(written.size(), full.size());
            for (const auto& [name, bytes] : written)
                EXPECT_TRUE(isPrefix(bytes, full.at(name))) << name;
            expectCutAt(written, title, static_cast<std::size_t>(step) * kStep);
        }
    }

    // The outputs hold everything up to the end of the block in hand at `cut`.
    virtual void expectCutAt(const std::map<std::string, Bytes>& written, const EvoFixture& title,
                             std::size_t cut) = 0;
};

class CancelDemuxTest : public CancelPrefixTest {
    void expectCutAt(const std::map<std::string, Bytes>& written, const EvoFixture& title,
                     std::size_t cut) override {
        EXPECT_EQ(written.at("FEATURE_1_2.VC-1.stream.0.mpv"), title.streamBytes(kVc1, cut));
        EXPECT_EQ(written.at("FEATURE_1_2.DD+.stream.00.mpa"), title.streamBytes(kDDPlus, cut));
        EXPECT_EQ(written.at("FEATURE_1_2.Subpicture.00.sup"), title.streamBytes(kSub, cut));
        EXPECT_EQ(written.at("FEATURE_1_2.Subpicture.00.pts"), title.ptsBytes(kSub, cut));
    }
};

class CancelRebuildTest : public CancelPrefixTest {
    // Every stream is ticked, so every pack up to the cut is kept.
    void expectCutAt(const std::map<std::string, Bytes>& written, const EvoFixture&,
                     std::size_t cut) override {
        EXPECT_EQ(written.at("FEATURE_1_2.rebuilt.EVO").size(), cut);
    }
};

TEST_F(CancelDemuxTest, AtEveryProgressStep) {
    cancelAtEveryStep(Job::Demux, {
                                      "Opening file FEATURE_1.EVO",
                                      "File size: 20 Mbytes.",
                                      "Creating " + out("FEATURE_1_2.VC-1.stream.0.mpv"),
                                      "Creating " + out("FEATURE_1_2.DD+.stream.00.mpa"),
                                      "Creating " + out("FEATURE_1_2.Subpicture.00.sup"),
                                      "It contains 1 video stream and 1 audio stream.",
                                      "Done.",
                                  });
}

TEST_F(CancelRebuildTest, AtEveryProgressStep) {
    cancelAtEveryStep(Job::Rebuild, {
                                        "Opening file FEATURE_1.EVO",
                                        "File size: 20 Mbytes.",
                                        "Creating " + out("FEATURE_1_2.rebuilt.EVO"),
                                        "Done.",
                                    });
}

}  // namespace
}  // namespace tarnwell::testing
