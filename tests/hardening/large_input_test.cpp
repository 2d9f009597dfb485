// An input larger than 4 GiB: positions, sizes and progress past the 32-bit mark, and the
// packs that lie beyond it. The file is sparse, holes everywhere but a title at its start and
// one just past 4 GiB, so it costs no storage and its holes read quickly.

#include "engine/engine_harness.h"
#include "hardening/hardening_fixture.h"

namespace tarnwell::testing {
namespace {

constexpr std::int64_t kGiB = std::int64_t{1} << 30;
constexpr std::int64_t kSize = 4 * kGiB + (8 << 20);  // 4104 MiB
constexpr std::int64_t kTailAt = 4 * kGiB + (1 << 20);
constexpr double kHalfDay = 0.5;

class LargeInputTest : public HardeningFixture {
  protected:
    LargeInputTest() : head(EvoFixture::title(300000, 41)), tail(EvoFixture::title(300000, 42)) {
        writeSparseFile(sparse.file("BIG.EVO"), kSize,
                        {{0, head.bytes()}, {kTailAt, tail.bytes()}});
        commands.input().chooseEvo(sparse.file("BIG.EVO"), host);
        // The fast check reads the head only, which holds every stream.
        EXPECT_EQ(read(), "");
        // Each pass starts at 0; every later reading is half a day on.
        host.clock = [this] { return clockReadings++ == 0 ? 0.0 : kHalfDay; };
        statusFrom = sink.status.size();
    }

    static Bytes joined(const Bytes& a, const Bytes& b) {
        Bytes out = a;
        fixture::append(out, b);
        return out;
    }

    // The progress texts of the job: one per 4 MiB, positions and size in whole mebibytes.
    void expectProgressPast4GiB(const std::string& word) {
        std::vector<std::string> texts;
        for (auto call = sink.status.begin() + static_cast<std::ptrdiff_t>(statusFrom);
             call != sink.status.end(); ++call)
            if (call->panel == 1) texts.push_back(call->text);
        ASSERT_FALSE(texts.empty());
        ASSERT_EQ(texts.back(), "");
        texts.pop_back();
        ASSERT_EQ(texts.size(), static_cast<std::size_t>(kSize / kStep));
        // 43200 s * 4104 / 4100 - 43200 s + 1 s = 43.1 s
        EXPECT_EQ(texts[1024], word + " BIG.EVO 4100/4104 Mbytes, Remaining time: 0:00:43");
        EXPECT_EQ(texts.back(), word + " BIG.EVO 4104/4104 Mbytes, Remaining time: 0:00:01");
        // 43200 s * 4104 / 4096 - 43200 s + 1 s = 85.4 s
        EXPECT_EQ(texts[1023], word + " BIG.EVO 4096/4104 Mbytes, Remaining time: 0:01:25");
    }

    SparseDir sparse;
    EvoFixture head;
    EvoFixture tail;
    int clockReadings = 0;
    std::size_t statusFrom = 0;
};

TEST_F(LargeInputTest, Demux) {
    const auto from = sink.lines.size();
    EXPECT_EQ(demuxJob(), "");
    EXPECT_EQ(linesFrom(from).at(1), "File size: 4104 Mbytes.");
    EXPECT_EQ(sink.lines.back(),
              std::to_string(head.frames(0) + tail.frames(0)) + " frames count in video stream 0.");
    expectProgressPast4GiB("Demuxing");
    EXPECT_EQ(readFile(out("BIG.VC-1.stream.0.mpv")),
              joined(head.streamBytes(kVc1), tail.streamBytes(kVc1)));
    EXPECT_EQ(readFile(out("BIG.DD+.stream.00.mpa")),
              joined(head.streamBytes(kDDPlus), tail.streamBytes(kDDPlus)));
    EXPECT_EQ(readFile(out("BIG.Subpicture.00.sup")),
              joined(head.streamBytes(kSub), tail.streamBytes(kSub)));
    EXPECT_EQ(readFile(out("BIG.Subpicture.00.pts")),
              joined(head.ptsBytes(kSub), tail.ptsBytes(kSub)));
}

TEST_F(LargeInputTest, Rebuild) {
    const auto from = sink.lines.size();
    EXPECT_EQ(rebuildJob(), "");
    EXPECT_EQ(linesFrom(from),
              (std::vector<std::string>{"Opening file BIG.EVO", "File size: 4104 Mbytes.",
                                        "Creating " + out("BIG.rebuilt.EVO"), "Done."}));
    expectProgressPast4GiB("Rebuilding");
    // The holes are no packs and are left out; the packs past 4 GiB follow the head's.
    EXPECT_EQ(readFile(out("BIG.rebuilt.EVO")), joined(head.bytes(), tail.bytes()));
}

}  // namespace
}  // namespace tarnwell::testing
