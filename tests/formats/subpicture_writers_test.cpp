// The subpicture writers checked from outside: ffmpeg's PGS decoder draws the written .sup
// exactly as its own DVD subpicture decoder draws the same HD units read from an EVO file
// (only a fade it draws brighter, at its fullest state); mkvmerge takes the .sup as a PGS track.
// The HD-DVD SUP records are checked byte for byte.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "io/file_io.h"
#include "evo_builder.h"
#include "formats/hd_sup_writer.h"
#include "formats/pgs_writer.h"
#include "jobs/pgs_converter.h"
#include "jobs/subpicture_output.h"
#include "subpicture_encoder.h"
#include "support/shell_output.h"
#include "support/temp_dir.h"

namespace tarnwell::testing {
namespace {

using fixture::Bytes;

constexpr std::int64_t kOrigin = 8589934592 - 45000;  // half a second before the PTS wraps

// The stored alpha bytes (255 - alpha) of a unit at 1/`faint` of its full alpha.
Bytes storedAlpha(int faint) {
    Bytes stored;
    for (int i = 0; i < 256; ++i)
        stored.push_back(std::uint8_t(255 - (i == 0 ? 0 : 128 + i / 2) / faint));
    return stored;
}

// Grey colours (so every YCrCb-to-RGB matrix agrees), every value visible, 0 transparent.
fixture::SubpictureSpec hdUnit(bool eightBit, int colours, std::uint16_t start, std::uint16_t stop,
                               std::uint32_t seed) {
    fixture::SubpictureSpec s;
    s.eightBitRuns = eightBit;
    s.x = 200 + int(seed) * 300, s.y = 700 + int(seed) * 60, s.width = 420, s.height = 61;
    s.pixels = fixture::subpicturePattern(s.width, s.height, colours, seed);
    for (int i = 0; i < 256; ++i)
        s.palette.insert(s.palette.end(), {std::uint8_t(60 + i * 190 / 255), 128, 128});
    s.alpha = storedAlpha(1);
    s.startDelay = start, s.stopDelay = stop;
    return s;
}

// Grey frames, four a second, of the file's subpictures drawn over black on a 1920x1080 canvas.
std::string drawn(const std::string& file) {
    return shellOutput(
        "ffmpeg -v error -f lavfi -i color=c=black:s=1920x1080:r=4:d=4 -canvas_size "
        "1920x1080 -i '" +
        file +
        "' -filter_complex '[0:v][1:s]overlay' -f rawvideo "
        "-pix_fmt gray - 2>/dev/null </dev/null");
}

struct Written {
    TempDir dir;
    std::vector<std::string> lines;
    std::string evo, sup;
};

// Four HD units (2-bit runs, 8-bit runs, a fade in from a quarter of the alpha, a whole
// screen) one second apart from the origin, the PTS wrapping after the first, as an EVO file
// and, through the assembler fed pack by pack, as a PGS file.
void writeBoth(Written& w) {
    fixture::SubpictureSpec specs[] = {hdUnit(false, 4, 0, 40, 0), hdUnit(true, 200, 10, 50, 1),
                                       hdUnit(false, 4, 0, 40, 2), hdUnit(false, 256, 0, 40, 3)};
    specs[2].alpha = storedAlpha(4), specs[2].fadeAlphas = {storedAlpha(2), storedAlpha(1)};
    // A whole screen of short runs: the object takes several segments.
    specs[3].x = 0, specs[3].y = 0, specs[3].width = 1920, specs[3].height = 1080;
    specs[3].pixels = fixture::subpicturePattern(1920, 1080, 256, 3);
    fixture::PackWriter evo;
    const auto stream = fixture::StreamRef::sub(0);
    OutputFile out;
    w.sup = w.dir.file("FEATURE_1.Subpicture.00.sup");
    out.create(w.sup);
    auto log = [&](std::string_view line) { w.lines.emplace_back(line); };
    PgsWriter pgs(out, kOrigin, "Subpicture.00", log);
    SubpictureAssembler assembler(
        "Subpicture.00", [&](SubpictureUnit&& unit) { pgs.write(unit); }, log);
    for (int k = 0; k < 4; ++k) {
        const Bytes unit = fixture::encodeSubpictureUnit(specs[k]);
        const std::int64_t pts = (kOrigin + k * 90000) % 8589934592;
        evo.write(stream, unit, pts);
        const std::size_t first = fixture::PackWriter::packCapacity(stream, true);
        const std::size_t rest = fixture::PackWriter::packCapacity(stream, false);
        for (std::size_t at = 0; at < unit.size(); at += at == 0 ? first : rest)
            assembler.feed(
                std::span(unit).subspan(at, std::min(at == 0 ? first : rest, unit.size() - at)),
                true, at == 0 ? pts : -1);
    }
    assembler.finish();
    pgs.finish();
    out.close();
    w.evo = w.dir.file("FEATURE_1.EVO");
    writeFile(w.evo, evo.take());
}

TEST(PgsWriter, FfmpegDrawsTheSupAsItDrawsTheUnitsInTheEvo) {
    if (!onPath("ffmpeg")) GTEST_SKIP() << "ffmpeg not on PATH";
    Written w;
    writeBoth(w);
    EXPECT_TRUE(w.lines.empty());
    const std::string fromSup = drawn(w.sup), fromEvo = drawn(w.evo);
    constexpr std::size_t kFrame = 1920 * 1080;
    ASSERT_EQ(fromSup.size(), 16 * kFrame) << fromSup.substr(0, 500);
    ASSERT_EQ(fromEvo.size(), 16 * kFrame) << fromEvo.substr(0, 500);
    // Frames inside each unit's display time, and one between two units.
    const int shown[] = {1, 5, 9, 13};
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        const std::size_t at = std::size_t(shown[k]) * kFrame;
        // ffmpeg's DVD decoder shows a fade's first state, the PGS its fullest: brighter.
        for (std::size_t i = at; i < at + kFrame; ++i)
            if (k == 2 ? std::uint8_t(fromSup[i]) < std::uint8_t(fromEvo[i])
                       : fromSup[i] != fromEvo[i])
                FAIL() << "frame byte " << i - at;
        EXPECT_GT(std::count_if(fromEvo.begin() + std::ptrdiff_t(at),
                                fromEvo.begin() + std::ptrdiff_t(at + kFrame),
                                [](char v) { return v != 0; }),
                  1000);
    }
    EXPECT_EQ(fromSup.compare(3 * kFrame, kFrame, std::string(kFrame, '\0')), 0);
}

TEST(PgsWriter, MkvmergeMuxesTheSupAsAPgsTrack) {
    if (!onPath("mkvmerge")) GTEST_SKIP() << "mkvmerge not on PATH (Debian package mkvtoolnix)";
    Written w;
    writeBoth(w);
    const std::string mkv = w.dir.file("out.mkv");
    shellOutput("mkvmerge -q -o '" + mkv + "' '" + w.sup + "'");
    const auto info = nlohmann::json::parse(shellOutput("mkvmerge -J '" + mkv + "'"));
    ASSERT_EQ(info["tracks"].size(), 1u);
    EXPECT_EQ(info["tracks"][0]["type"], "subtitles");
    EXPECT_EQ(info["tracks"][0]["properties"]["codec_id"], "S_HDMV/PGS");
}

// As ffprobe reads the .sup: a unit without a stop command is cleared when the next one shows,
// the last such unit 5 s after its start; a stop after the next unit's start comes at it.
TEST(PgsWriter, UnitsWithoutAStopEndAtTheNextUnitOrAfterFiveSeconds) {
    if (!onPath("ffprobe")) GTEST_SKIP() << "ffprobe not on PATH";
    TempDir dir;
    OutputFile out;
    out.create(dir.file("s.sup"));
    std::vector<std::string> lines;
    PgsWriter pgs(out, kOrigin, "Subpicture.00",
                  [&](std::string_view l) { lines.emplace_back(l); });
    // Seconds after the origin, and the stop delay (0: no stop command; 300 units are 3.4 s).
    for (const auto& [second, stop] : {std::pair{0, 0}, {1, 300}, {3, 0}}) {
        fixture::SubpictureSpec spec = hdUnit(false, 4, 0, std::uint16_t(stop), 0);
        spec.withStop = stop != 0;
        pgs.write({fixture::encodeSubpictureUnit(spec),
                   (kOrigin + second * 90000) % 8589934592,
                   UnitForm::Hd,
                   {}});
    }
    pgs.finish();
    out.close();
    EXPECT_TRUE(lines.empty());
    // Microseconds, and whether the display set shows a picture.
    EXPECT_EQ(shellOutput("ffprobe -v error -show_frames -show_entries subtitle=pts,num_rects "
                          "-of csv=p=0 '" +
                          dir.file("s.sup") + "'"),
              "0,1\n1000000,0\n1000000,1\n3000000,0\n3000000,1\n8000000,0\n");
}

TEST(HdSupWriter, OneRecordPerUsableUnit) {
    TempDir dir;
    const Bytes unit = fixture::encodeSubpictureUnit(hdUnit(false, 4, 0, 40, 0));
    Bytes broken = unit;
    broken[9] = 1;  // the display sequence offset points into the bitmap
    std::vector<std::string> lines;
    OutputFile out;
    out.create(dir.file("s.sup"));
    HdSupWriter writer(out, "Subpicture.05", [&](std::string_view l) { lines.emplace_back(l); });
    for (const auto& [bytes, pts] :
         {std::pair{unit, std::int64_t{0x1A1B2C3D4}}, std::pair{broken, std::int64_t{7}},
          std::pair{unit, std::int64_t{90000}}})
        writer.write({bytes, pts, UnitForm::Hd, {}});
    out.close();
    Bytes expected{'S', 'P', 0xD4, 0xC3, 0xB2, 0xA1, 0, 0, 0, 0};
    fixture::append(expected, unit);
    fixture::append(expected, Bytes{'S', 'P', 0x90, 0x5F, 0x01, 0x00, 0, 0, 0, 0});
    fixture::append(expected, unit);
    EXPECT_EQ(readFile(dir.file("s.sup")), expected);
    EXPECT_EQ(lines.size(), 1u);
}

}  // namespace
}  // namespace tarnwell::testing

namespace tarnwell::testing {
namespace {

// A conversion that raises, on the second thread or on the handing one, raises on the handing
// thread when its unit would be written; then nothing waits for ever (the converter ends).
TEST(PgsConverter, AConversionThatRaisesReachesTheHandingThread) {
    static std::thread::id handing;
    static std::atomic<bool> failOnWorker, workerFailed;
    const auto convert = [](PgsConversion& conversion, const SubpictureUnit& unit) {
        const bool here = std::this_thread::get_id() == handing;
        if (here != failOnWorker) {
            workerFailed = !here;
            throw std::runtime_error("no memory for the unit");
        }
        // The handing thread waits until the second thread has failed on a later unit.
        while (here && !workerFailed) std::this_thread::yield();
        conversion.convert(unit);
    };
    const Bytes unit = fixture::encodeSubpictureUnit(hdUnit(false, 4, 0, 40, 0));
    for (const bool onWorker : {true, false}) {
        SCOPED_TRACE(onWorker);
        handing = std::this_thread::get_id(), failOnWorker = onWorker, workerFailed = false;
        TempDir dir;
        OutputFile file;
        file.create(dir.file("s.sup"));
        const auto log = [](std::string_view) {};
        SubpictureOrigin origin(nullptr, log);
        PgsConverter converter(convert, onWorker);
        SubpictureOutput output(SubpictureForm::Pgs, file, "Subpicture.00", origin, log, log,
                                &converter);
        try {
            // The error comes when its unit would be written: while handing over, or draining.
            for (int k = 1; k <= 3; ++k)
                converter.convert(output, {unit, 90000 * k, UnitForm::Hd, {}});
            converter.drain();
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "no memory for the unit");
        }
        file.close();
    }
}

}  // namespace
}  // namespace tarnwell::testing
