// A disk that fills up while a job writes: the files may grow only to a limit, so a write
// fails partway through a job of several mebibytes, at the limit's exact byte.

#include <algorithm>
#include <functional>

#include "hardening/hardening_fixture.h"

namespace tarnwell::testing {
namespace {

using Written = std::map<std::string, Bytes>;

class FullDiskTest : public HardeningFixture {
  protected:
    // Runs `job` over a title of 6 MiB once without a limit, then once for each room left on
    // the disk, from none to all but the last byte of the largest output; `alsoCheck` looks
    // at what each failed run left.
    void fillUpDuring(Job job,
                      const std::function<void(const EvoFixture&, const Written&, std::int64_t)>&
                          alsoCheck = {}) {
        const auto title = readTitle(6 << 20, 61);
        ASSERT_EQ(runJob(job), "");
        const auto full = outputs();
        ASSERT_FALSE(full.empty());
        std::string largest;
        for (const auto& [name, bytes] : full)
            if (largest.empty() || bytes.size() > full.at(largest).size()) largest = name;
        const auto largestSize = static_cast<std::int64_t>(full.at(largest).size());
        constexpr auto kBuffer = static_cast<std::int64_t>(OutputFile::kBufferSize);
        ASSERT_GT(largestSize, 2 * kBuffer + (1 << 20));

        for (const std::int64_t room : {std::int64_t{0}, std::int64_t{(1 << 20) + 1000},
                                        largestSize - kBuffer - 3, largestSize - 1}) {
            SCOPED_TRACE("room " + std::to_string(room));
            const auto from = sink.lines.size();
            const int files = openFileCount();
            std::string error;
            {
                FileSizeLimit limit(static_cast<rlim_t>(room));
                error = runJob(job);
            }
            EXPECT_EQ(error, kStreamWriteError);
            EXPECT_FALSE(anyFileOpen());
            EXPECT_EQ(openFileCount(), files);
            expectNoSuccess(job, from);
            for (const auto& line : linesFrom(from))
                EXPECT_EQ(line.find("frames count"), std::string::npos) << line;

            // Everything accepted before the failure is on disk: the file that hit the limit
            // holds exactly as much as fitted, and every file is the start of its full output.
            const auto written = outputs();
            ASSERT_EQ(written.size(), full.size());
            for (const auto& [name, bytes] : written) {
                SCOPED_TRACE(name);
                EXPECT_TRUE(isPrefix(bytes, full.at(name)));
                EXPECT_LE(static_cast<std::int64_t>(bytes.size()), room);
            }
            EXPECT_EQ(static_cast<std::int64_t>(written.at(largest).size()), room);
            // A failure in the final flush comes only after every other file was closed in
            // full.
            for (const auto& [name, bytes] : written) {
                if (room == largestSize - 1 && name != largest) {
                    EXPECT_EQ(bytes, full.at(name)) << name;
                }
            }
            if (alsoCheck) alsoCheck(title, written, room);
        }
    }
};

TEST_F(FullDiskTest, Demux) {
    // The video file fails only once it took in `room` bytes. By then every pack whose video
    // stays below that was handed over, and the other files hold all they were given.
    fillUpDuring(Job::Demux, [](const EvoFixture& title, const Written& written,
                                std::int64_t room) {
        constexpr std::size_t kPack = fixture::PackWriter::kPackSize;
        const auto videoBelowRoom = [&](std::size_t packs) {
            return static_cast<std::int64_t>(title.streamBytes(kVc1, packs * kPack).size()) < room;
        };
        std::size_t low = 0;
        std::size_t high = title.size() / kPack;
        while (low < high) {
            const std::size_t middle = (low + high + 1) / 2;
            if (videoBelowRoom(middle))
                low = middle;
            else
                high = middle - 1;
        }
        const std::size_t handedOver = low * kPack;
        EXPECT_TRUE(isPrefix(title.streamBytes(kDDPlus, handedOver),
                             written.at("FEATURE_1.DD+.stream.00.mpa")));
        EXPECT_TRUE(isPrefix(title.streamBytes(kSub, handedOver),
                             written.at("FEATURE_1.Subpicture.00.sup")));
        EXPECT_TRUE(
            isPrefix(title.ptsBytes(kSub, handedOver), written.at("FEATURE_1.Subpicture.00.pts")));
    });
    EXPECT_EQ(sink.panels[0], "Writing stream(s)");
}

TEST_F(FullDiskTest, Rebuild) {
    fillUpDuring(Job::Rebuild);
    EXPECT_EQ(sink.panels[0], "Writing EVO...");
    EXPECT_EQ(sink.lines.back(), "Creating " + out("FEATURE_1.rebuilt.EVO"));
}

}  // namespace
}  // namespace tarnwell::testing
