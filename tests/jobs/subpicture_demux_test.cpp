// Demux in the subpicture forms, end to end over a split title: units of both forms and both
// colour sizes spread over packets, one starting in the packet where the one before it ends,
// one split by the _1/_2 seam, a video time stamp between them that must not tag a unit, and
// an incomplete unit at the end. The HD-DVD SUP file is checked byte for byte; the PGS file
// by ffprobe (its times against the video) and by mkvmerge.

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "jobs/job_fixture.h"
#include "subpicture_encoder.h"
#include "support/shell_output.h"

namespace tarnwell::testing {
namespace {

using fixture::Bytes;

constexpr std::int64_t kWrap = std::int64_t{1} << 33;
constexpr std::int64_t kVideo0 = kWrap - 2 * 90000;  // the PTS wraps two seconds in
std::int64_t at(double seconds) {
    return (kVideo0 + static_cast<std::int64_t>(seconds * 90000)) % kWrap;
}

fixture::SubpictureSpec spec(bool hd, bool eightBit, std::uint16_t start, std::uint32_t seed) {
    fixture::SubpictureSpec s;
    s.hdForm = hd, s.eightBitRuns = eightBit;
    s.x = 100 + int(seed) * 50, s.y = 800, s.width = 600, s.height = 50;
    s.pixels = fixture::subpicturePattern(s.width, s.height, hd && eightBit ? 200 : 4, seed);
    if (hd) {
        for (int i = 0; i < 256; ++i)
            s.palette.insert(s.palette.end(), {std::uint8_t(i), 128, 128});
        s.alpha.assign(256, 0);
        s.alpha[0] = 255;
    } else {
        s.palette = {0x12, 0x3F}, s.alpha = {0xFF, 0xF0};
    }
    s.startDelay = start, s.stopDelay = std::uint16_t(start + 90);
    return s;
}

class SubpictureDemuxTest : public JobFixture {
  protected:
    void SetUp() override {
        const fixture::SubpictureSpec specs[] = {spec(true, false, 0, 0),  spec(true, true, 180, 1),
                                                 spec(false, false, 0, 2), spec(true, false, 18, 3),
                                                 spec(true, true, 0, 4),   spec(true, false, 0, 5)};
        Bytes stream;
        std::vector<std::size_t> o;
        for (const auto& s : specs) {
            o.push_back(stream.size());
            units.push_back(fixture::encodeSubpictureUnit(s));
            fixture::append(stream, units.back());
        }
        stream.resize(o[5] + 40);  // the last unit is cut short
        // (file, from, to, PTS of the packet or -1)
        const std::tuple<int, std::size_t, std::size_t, std::int64_t> packets[] = {
            {0, o[0], o[1] + 50, at(1)},
            {0, o[1] + 50, o[2], at(5)},
            {0, o[2], o[3], -1},
            {0, o[3], o[3] + 100, at(9)},
            {1, o[3] + 100, o[4] + 20, at(13)},
            {1, o[4] + 20, stream.size(), at(17)}};
        fixture::PackWriter evo[2];
        for (int file = 0; file < 2; ++file) {
            evo[file].navPack(1, 1);
            evo[file].write(fixture::StreamRef::vc1(0), fixture::vc1Frames(3, 3000, 9),
                            file == 0 ? at(0) : at(6));
        }
        for (const auto& [file, from, to, pts] : packets) {
            const auto piece = std::span(stream).subspan(from, to - from);
            evo[file].write(fixture::StreamRef::sub(0), piece,
                            pts < 0 ? std::nullopt : std::optional<std::uint64_t>(pts));
            evo[file].write(fixture::StreamRef::vc1(0), fixture::vc1Frames(1, 500, 3), at(20));
        }
        writeFile(disc("FEATURE_1.EVO"), evo[0].take());
        writeFile(disc("FEATURE_2.EVO"), evo[1].take());
        choose("FEATURE_1.EVO");
        ASSERT_EQ(read(), "");
    }

    std::vector<std::string> demux(SubpictureForm form) {
        host.subpictures = form;
        const std::size_t from = sink.lines.size();
        EXPECT_EQ(demuxJob(), "");
        EXPECT_EQ(outputNames(), (std::vector<std::string>{"FEATURE_1_2.Subpicture.00.sup",
                                                           "FEATURE_1_2.VC-1.stream.0.mpv"}));
        return linesFrom(from);
    }

    std::vector<Bytes> units;
};

// Each complete unit with the PTS it is tagged with.
const std::pair<int, double> kTagged[] = {{0, 1}, {1, 1}, {2, 5}, {3, 9}, {4, 13}};

TEST_F(SubpictureDemuxTest, HdSupRecordsCarryEachUnitWithItsTimeStamp) {
    const auto lines = demux(SubpictureForm::HdSup);
    Bytes expected;
    for (const auto& [unit, seconds] : kTagged) {
        const auto pts = static_cast<std::uint32_t>(at(seconds));
        fixture::append(expected,
                        Bytes{'S', 'P', std::uint8_t(pts), std::uint8_t(pts >> 8),
                              std::uint8_t(pts >> 16), std::uint8_t(pts >> 24), 0, 0, 0, 0});
        fixture::append(expected, units[unit]);
    }
    EXPECT_EQ(readFile(out("FEATURE_1_2.Subpicture.00.sup")), expected);
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         "Subpicture.00: incomplete subpicture unit at PTS " +
                             std::to_string(at(17)) + " dropped"),
              1);
}

TEST_F(SubpictureDemuxTest, PgsIsTimedFromVideoZeroAndMuxedAsPgsTrack) {
    if (std::system("command -v ffprobe >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ffprobe";
    demux(SubpictureForm::Pgs);
    const std::string sup = out("FEATURE_1_2.Subpicture.00.sup");
    const auto frames = nlohmann::json::parse(
        shellOutput("ffprobe -v error -show_frames -of json '" + sup + "'"))["frames"];
    // ffmpeg's decoder gives one subtitle per display set: a picture at each start, none at
    // each stop; its times are in microseconds from the first PTS of video stream 0.
    const double starts[] = {1, 1 + 180 * 1024 / 90000.0, 5, 9 + 18 * 1024 / 90000.0, 13};
    ASSERT_EQ(frames.size(), 10u) << frames.dump();
    for (int k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        const auto& shown = frames[2 * k];
        const auto& cleared = frames[2 * k + 1];
        EXPECT_EQ(shown["pts"].get<std::int64_t>(), std::llround(starts[k] * 1e6));
        EXPECT_EQ(shown["num_rects"], 1);
        EXPECT_EQ(cleared["pts"].get<std::int64_t>(),
                  std::llround((starts[k] + 90 * 1024 / 90000.0) * 1e6));
        EXPECT_EQ(cleared["num_rects"], 0);
    }
    if (std::system("command -v mkvmerge >/dev/null 2>&1") != 0) GTEST_SKIP() << "no mkvmerge";
    shellOutput("mkvmerge -q -o '" + out("t.mkv") + "' '" + sup + "'");
    const auto info = nlohmann::json::parse(shellOutput("mkvmerge -J '" + out("t.mkv") + "'"));
    EXPECT_EQ(info["tracks"][0]["properties"]["codec_id"], "S_HDMV/PGS");
}

// PGS units are converted on a second thread: their lines still come in stream order with
// the assembler's own, whichever unit was converted when.
TEST_F(JobFixture, PgsSkippedUnitsAreLoggedInStreamOrder) {
    const fixture::SubpictureSpec good = spec(true, false, 0, 0);
    // Its odd field starts at its last byte, too short for any line.
    Bytes damaged = fixture::encodeSubpictureUnit(good);
    const Bytes fields = {0x86, 0, 0, 0, 10};  // the field command, the even field at byte 10
    const auto odd = std::search(damaged.begin(), damaged.end(), fields.begin(), fields.end()) + 5;
    ASSERT_LT(odd, damaged.end());
    const std::size_t last = damaged.size() - 1;
    odd[0] = std::uint8_t(last >> 24), odd[1] = std::uint8_t(last >> 16);
    odd[2] = std::uint8_t(last >> 8), odd[3] = std::uint8_t(last);
    Bytes lastTwo = fixture::encodeSubpictureUnit(good);
    lastTwo.insert(lastTwo.end(), damaged.begin(), damaged.begin() + 30);
    const std::pair<Bytes, std::int64_t> packets[] = {{fixture::encodeSubpictureUnit(good), -1},
                                                      {damaged, at(1)},
                                                      {{0, 0, 0, 0, 0, 5, 7}, at(2)},
                                                      {damaged, at(3)},
                                                      {lastTwo, at(4)}};
    fixture::PackWriter evo;
    evo.navPack(1, 1);
    for (const auto& [bytes, pts] : packets) {
        evo.write(fixture::StreamRef::vc1(0), fixture::vc1Frames(1, 500, 3), at(0));
        evo.write(fixture::StreamRef::sub(0), bytes,
                  pts < 0 ? std::nullopt : std::optional<std::uint64_t>(pts));
    }
    writeFile(disc("FEATURE_1.EVO"), evo.take());
    choose("FEATURE_1.EVO");
    ASSERT_EQ(read(), "");
    host.subpictures = SubpictureForm::Pgs;
    const std::size_t from = sink.lines.size();
    ASSERT_EQ(demuxJob(), "");
    std::vector<std::string> lines;
    for (const auto& line : linesFrom(from))
        if (line.starts_with("Subpicture.00:")) lines.push_back(line);
    const auto skipped = [](const std::string& pts, const char* reason) {
        return "Subpicture.00: subpicture unit at PTS " + pts + " skipped (" + reason + ")";
    };
    EXPECT_EQ(lines,
              (std::vector<std::string>{skipped("none", "no time stamp"),
                                        skipped(std::to_string(at(1)), "runs outside the unit"),
                                        skipped(std::to_string(at(2)), "bad unit size"),
                                        skipped(std::to_string(at(3)), "runs outside the unit"),
                                        "Subpicture.00: incomplete subpicture unit at PTS " +
                                            std::to_string(at(4)) + " dropped"}));
}

}  // namespace
}  // namespace tarnwell::testing
