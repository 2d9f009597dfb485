// Inputs that change under the program: deleted after they were chosen, cut short while a job
// reads them, and a folder where the next file of a split title would be.

#include <filesystem>

#include "hardening/hardening_fixture.h"

namespace tarnwell::testing {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

class VanishingInputTest : public HardeningFixture {
  protected:
    // The log lines of the job that started at `from`, without the two that name the input
    // and its size.
    Lines linesAfterSize(std::size_t from) const {
        const auto lines = linesFrom(from);
        EXPECT_GE(lines.size(), 2u);
        return Lines(lines.begin() + std::min<std::ptrdiff_t>(2, std::ssize(lines)), lines.end());
    }

    void clearOutputs() {
        for (const auto& name : outputNames()) fs::remove(out(name));
    }
};

TEST_F(VanishingInputTest, DeletedBetweenChoosingAndTheJob) {
    for (const Job job : {Job::Demux, Job::Rebuild}) {
        SCOPED_TRACE(jobName(job));
        readTitle(60000, 11);
        fs::remove(disc("FEATURE_1.EVO"));
        const auto from = sink.lines.size();
        const int files = openFileCount();

        EXPECT_EQ(runJob(job),
                  "Cannot open file \"" + disc("FEATURE_1.EVO") + "\". No such file or directory");

        EXPECT_EQ(linesFrom(from), Lines{"Opening file FEATURE_1.EVO"});
        EXPECT_EQ(sink.panels[0], "Opening");
        EXPECT_TRUE(outputNames().empty());
        EXPECT_FALSE(anyFileOpen());
        EXPECT_EQ(openFileCount(), files);
        expectNoSuccess(job, from);
    }
}

// The loops read ahead in whole multiples of the read-ahead size, so when events run at the
// first progress step nothing beyond that step has been read yet.
static_assert(kStep % kReadAheadSize == 0);

TEST_F(VanishingInputTest, ShrinksDuringTheRun) {
    const auto title = readTitle(12 << 20, 12);
    // Cut in the middle of a pack, past the first progress step and before it.
    for (const std::size_t cutTo : {std::size_t{(6 << 20) + 777}, std::size_t{(1 << 20) + 5}}) {
        // The run ends with what it could read: the first step's worth at least.
        const std::size_t readable = std::max(cutTo, kStep);
        const Bytes cut(title.bytes().begin(),
                        title.bytes().begin() + static_cast<std::ptrdiff_t>(readable));
        for (const Job job : {Job::ReadEvo, Job::Demux, Job::Rebuild}) {
            SCOPED_TRACE(std::string(jobName(job)) + " cut to " + std::to_string(cutTo));
            // What the job gives for an input that holds only the readable part.
            writeFile(disc("FEATURE_1.EVO"), cut);
            host.onProcessEvents = nullptr;
            clearOutputs();
            auto from = sink.lines.size();
            ASSERT_EQ(runJob(job), "");
            const auto expectedLines = linesAfterSize(from);
            const auto expectedOutputs = outputs();
            const auto expectedFrames = commands.state().FrameCount;
            if (job == Job::Rebuild)
                ASSERT_LT(expectedOutputs.at("FEATURE_1.rebuilt.EVO").size(), title.size());
            else
                ASSERT_LT(expectedFrames[0], title.frames(0));

            title.save(disc("FEATURE_1.EVO"));
            bool cutDone = false;
            host.onProcessEvents = [&] {
                if (!cutDone) fs::resize_file(disc("FEATURE_1.EVO"), cutTo);
                cutDone = true;
            };
            from = sink.lines.size();
            const int files = openFileCount();

            EXPECT_EQ(runJob(job), "");

            EXPECT_TRUE(cutDone);
            EXPECT_EQ(linesFrom(from).at(1), "File size: 12 Mbytes.");
            EXPECT_EQ(linesAfterSize(from), expectedLines);
            EXPECT_EQ(commands.state().FrameCount, expectedFrames);
            EXPECT_TRUE(outputs() == expectedOutputs);
            EXPECT_EQ(sink.panels[0], "Ready");
            EXPECT_FALSE(anyFileOpen());
            EXPECT_EQ(openFileCount(), files);
        }
    }
}

TEST_F(VanishingInputTest, FolderNamedLikeTheNextFileIsNoContinuation) {
    readTitle(300000, 13);
    for (const Job job : {Job::Demux, Job::Rebuild}) {
        SCOPED_TRACE(jobName(job));
        // The same job where the option keeps it from looking for a next file at all.
        host.continueWithNext = false;
        clearOutputs();
        auto from = sink.lines.size();
        ASSERT_EQ(runJob(job), "");
        const auto expectedLines = linesFrom(from);
        const auto expectedOutputs = outputs();
        clearOutputs();

        host.continueWithNext = true;
        fs::create_directory(disc("FEATURE_2.EVO"));
        writeFile(disc("FEATURE_2.EVO/FEATURE_2.EVO"), EvoFixture::title(200000, 14).bytes());
        from = sink.lines.size();

        EXPECT_EQ(runJob(job), "");

        EXPECT_EQ(linesFrom(from), expectedLines);
        EXPECT_TRUE(outputs() == expectedOutputs);
        EXPECT_FALSE(anyFileOpen());
        fs::remove_all(disc("FEATURE_2.EVO"));
    }
}

}  // namespace
}  // namespace tarnwell::testing
