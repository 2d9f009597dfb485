#include "jobs/rebuild_job.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "io/file_io.h"
#include "jobs/commands.h"
#include "rebuild/pack_copier.h"
#include "rebuild_rig.h"

namespace tarnwell::testing {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

constexpr std::size_t kPacksPer4MiB = 0x400000 / 2048;

std::string outputFolder(RebuildRig& rig) {
    const auto folder = rig.dir.file("out");
    fs::create_directories(folder);
    return folder;
}

// ---- The command's messages --------------------------------------------------------------

TEST(RebuildJob, LogAndStatusOfANormalRun) {
    RebuildRig rig;
    Bytes in;
    for (int i = 0; i < 3; ++i) appendPack(in, packOf(StreamRef::vc1(0), i));
    rig.chooseInput("MOVIE.EVO", in);
    rig.host.workdir = outputFolder(rig);
    rig.host.commandEnabled.fill(true);
    rig.host.page = 3;

    rig.run();

    EXPECT_EQ(rig.sink.lines,
              (Lines{"Opening file MOVIE.EVO", "File size: 0 Mbytes.",
                     "Creating " + rig.host.workdir + "/MOVIE.rebuilt.EVO", "Done."}));
    EXPECT_EQ(rig.sink.statusTexts(0), (Lines{"Opening", "Writing EVO...", "Ready"}));
    EXPECT_EQ(rig.sink.statusTexts(1), (Lines{""}));
    EXPECT_EQ(rig.host.page, kStatusPage);
    EXPECT_TRUE(rig.host.isEnabled(Command::Rebuild));
    EXPECT_FALSE(rig.host.isEnabled(Command::Cancel));
    EXPECT_TRUE(rig.state->Demuxing);
    EXPECT_FALSE(rig.state->InFile.isOpen());
    EXPECT_FALSE(rig.state->RebuildOut.isOpen());
    EXPECT_EQ(rig.host.eventRounds, 0);
    EXPECT_EQ(readFile(rig.host.workdir + "/MOVIE.rebuilt.EVO"), in);
}

TEST(RebuildJob, ProgressEveryFourMebibytes) {
    RebuildRig rig;
    Bytes in;
    for (std::size_t i = 0; i < 2 * kPacksPer4MiB + 3; ++i)
        appendPack(in, packOf(StreamRef::vc1(0)));
    rig.chooseInput("FEATURE.EVO", in);
    rig.host.workdir = outputFolder(rig);
    // The pass starts at 0 and every later reading is ten seconds on.
    int readings = 0;
    rig.host.clock = [&] { return readings++ == 0 ? 0.0 : 10.0 / 86400; };
    bool rebuildEnabled = true;
    bool cancelEnabled = false;
    rig.host.onProcessEvents = [&] {
        rebuildEnabled = rig.host.isEnabled(Command::Rebuild);
        cancelEnabled = rig.host.isEnabled(Command::Cancel);
    };
    rig.run();
    EXPECT_FALSE(rebuildEnabled);
    EXPECT_TRUE(cancelEnabled);
    // 10 s * 8 / 4 - 10 s + 1 s = 11 s, then 10 s * 8 / 8 - 10 s + 1 s = 1 s.
    EXPECT_EQ(rig.sink.statusTexts(1),
              (Lines{"Rebuilding FEATURE.EVO 4/8 Mbytes, Remaining time: 0:00:11",
                     "Rebuilding FEATURE.EVO 8/8 Mbytes, Remaining time: 0:00:01", ""}));
    EXPECT_EQ(rig.host.eventRounds, 2);
}

TEST(RebuildJob, EmptyInputGivesAnEmptyRebuiltFile) {
    RebuildRig rig;
    rig.chooseInput("EMPTY.EVO", {});
    rig.host.workdir = outputFolder(rig);
    rig.run();
    EXPECT_EQ(rig.sink.lines.back(), "Done.");
    EXPECT_EQ(rig.sink.statusTexts(1), (Lines{""}));
    EXPECT_EQ(rig.host.eventRounds, 0);
    const auto out = rig.host.workdir + "/EMPTY.rebuilt.EVO";
    ASSERT_TRUE(fileExists(out));
    EXPECT_TRUE(readFile(out).empty());
}

// ---- What the rebuilt file holds ---------------------------------------------------------

TEST(RebuildJob, DropsUncheckedStreamsAndRenumbersTheRest) {
    RebuildRig rig;
    rig.found(SlotKind::Video, 0, 0x55);
    rig.found(SlotKind::Audio, 0, 0xC0, false);
    rig.found(SlotKind::Audio, 1, 0xC1);
    rig.found(SlotKind::Audio, 2, 0xC2);
    rig.found(SlotKind::Subpicture, 0, 0x20, false);
    rig.found(SlotKind::Subpicture, 1, 0x21, false);
    rig.found(SlotKind::Subpicture, 2, 0x22);

    Bytes in;
    Bytes expected;
    fixture::PackWriter nav;
    nav.navPack(3, 1);
    Bytes header = nav.take();
    appendPack(in, header);
    header[23] = static_cast<std::uint8_t>((header[23] & 0x03) | (2 << 2));
    header[24] = static_cast<std::uint8_t>((header[24] & 0xE0) | 1);
    appendPack(expected, header);

    const std::pair<StreamRef, int> sequence[] = {
        {StreamRef::vc1(0), 0x55},    {StreamRef::ddplus(0), -1}, {StreamRef::ddplus(1), 0xC0},
        {StreamRef::ddplus(2), 0xC1}, {StreamRef::sub(0), -1},    {StreamRef::sub(1), -1},
        {StreamRef::sub(2), 0x20},    {StreamRef::vc1(0), 0x55},  {StreamRef::ddplus(2), 0xC1},
        {StreamRef::ddplus(1), 0xC0}, {StreamRef::sub(0), -1},    {StreamRef::sub(2), 0x20},
    };
    std::uint32_t seed = 0;
    for (const auto& [stream, newCode] : sequence) {
        const Bytes pack = packOf(stream, ++seed);
        appendPack(in, pack);
        if (newCode >= 0) appendPack(expected, withCode(pack, static_cast<std::uint8_t>(newCode)));
    }
    // A block of zeros is left out.
    appendPack(in, Bytes(2048, 0));
    rig.chooseInput("MOVIE.EVO", in);
    rig.host.workdir = outputFolder(rig);

    rig.run();

    EXPECT_EQ(readFile(rig.host.workdir + "/MOVIE.rebuilt.EVO"), expected);
}

TEST(RebuildJob, ShortLastBlockIsJudgedAndWrittenWithItsOwnLength) {
    // The short block is read over the first pack of the input, a pack of an unchecked
    // stream, which must not decide for it.
    const Bytes dropped = packOf(StreamRef::ddplus(1), 1);
    const Bytes kept = packOf(StreamRef::ddplus(2), 2);
    struct Case {
        const char* what;
        Bytes tail;
        Bytes written;
    };
    const Case cases[] = {
        {"part of a kept pack", Bytes(kept.begin(), kept.begin() + 700),
         withCode(Bytes(kept.begin(), kept.begin() + 700), 0xC0)},
        {"too short to show its stream", Bytes(dropped.begin(), dropped.begin() + 20),
         Bytes(dropped.begin(), dropped.begin() + 20)},
        {"not a pack", Bytes(100, 0x00), {}},
    };
    const std::size_t packsPerRead = kReadAheadSize / 2048;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RebuildRig rig;
        rig.found(SlotKind::Audio, 1, 0xC1, false);
        rig.found(SlotKind::Audio, 2, 0xC2);
        Bytes in = dropped;
        Bytes expected;
        for (std::size_t i = 1; i < packsPerRead; ++i) {
            const auto video = packOf(StreamRef::vc1(0), i);
            appendPack(in, video);
            appendPack(expected, video);
        }
        fixture::append(in, c.tail);
        fixture::append(expected, c.written);
        rig.chooseInput("MOVIE.EVO", in);
        rig.host.workdir = outputFolder(rig);
        rig.run();
        EXPECT_EQ(readFile(rig.host.workdir + "/MOVIE.rebuilt.EVO"), expected);
    }
}

TEST(RebuildJob, SelectionChangedDuringTheRunTakesEffectFromTheNextPack) {
    RebuildRig rig;
    rig.found(SlotKind::Audio, 0, 0x80);
    Bytes in;
    Bytes expected;
    for (std::size_t i = 0; i < kPacksPer4MiB + 10; ++i) {
        const auto pack = packOf(i % 2 ? StreamRef::dd(0) : StreamRef::vc1(0), i);
        appendPack(in, pack);
        // Events run after the read of the pack that ends at 4 MiB, before it is judged.
        if (i + 1 < kPacksPer4MiB || pack[17] == 0xFD) appendPack(expected, pack);
    }
    rig.chooseInput("MOVIE.EVO", in);
    rig.host.workdir = outputFolder(rig);
    rig.host.onProcessEvents = [&] { rig.selection.setChecked(SlotKind::Audio, 0, false); };
    rig.run();
    EXPECT_EQ(readFile(rig.host.workdir + "/MOVIE.rebuilt.EVO"), expected);
}

TEST(RebuildJob, RunningTwiceOverwritesTheRebuiltFile) {
    RebuildRig rig;
    Bytes in;
    for (int i = 0; i < 4; ++i) appendPack(in, packOf(StreamRef::ddplus(i)));
    rig.chooseInput("MOVIE.EVO", in);
    rig.host.workdir = outputFolder(rig);
    rig.run();
    rig.selection.setChecked(SlotKind::Audio, 3, false);
    rig.state->streamTable.AudioIds[3] = 0xC3;
    rig.run();
    EXPECT_EQ(readFile(rig.host.workdir + "/MOVIE.rebuilt.EVO").size(), 3 * 2048u);
}

// ---- Output names ------------------------------------------------------------------------

TEST(RebuildJob, OutputFolderWithOrWithoutTrailingSeparator) {
    for (const char* suffix : {"", "/"}) {
        RebuildRig rig;
        rig.chooseInput("FEATURE_1.EVO", packOf(StreamRef::vc1(0)));
        const auto folder = outputFolder(rig);
        rig.host.workdir = folder + suffix;
        rig.run();
        EXPECT_EQ(rig.sink.lines.at(2), "Creating " + folder + "/FEATURE_1.rebuilt.EVO");
        EXPECT_TRUE(fileExists(folder + "/FEATURE_1.rebuilt.EVO"));
    }
}

TEST(RebuildJob, EmptyOutputFolderWritesIntoTheCurrentFolder) {
    RebuildRig rig;
    rig.chooseInput("FEATURE_1.EVO", packOf(StreamRef::vc1(0)));
    const auto folder = outputFolder(rig);
    CurrentFolder here(folder);
    rig.run();
    EXPECT_EQ(rig.sink.lines.at(2), "Creating FEATURE_1.rebuilt.EVO");
    EXPECT_TRUE(fileExists(folder + "/FEATURE_1.rebuilt.EVO"));
}

// ---- Continuation ------------------------------------------------------------------------

struct SplitTitle {
    Bytes first;
    Bytes second;
    Bytes expected;  // both files rebuilt with one numbering
};

// DD+ 0xC1 occurs first in the first file and becomes 0xC0; the second file, where 0xC0
// comes first, keeps that numbering.
SplitTitle splitTitle(std::size_t firstPacks = 2) {
    SplitTitle title;
    for (std::size_t i = 0; i < firstPacks; ++i) {
        const auto pack = packOf(i % 2 ? StreamRef::ddplus(0) : StreamRef::ddplus(1), i);
        appendPack(title.first, pack);
        appendPack(title.expected, withCode(pack, i % 2 ? 0xC1 : 0xC0));
    }
    for (int i = 0; i < 3; ++i) {
        const auto pack = packOf(i == 1 ? StreamRef::ddplus(1) : StreamRef::ddplus(0), 100 + i);
        appendPack(title.second, pack);
        appendPack(title.expected, withCode(pack, i == 1 ? 0xC0 : 0xC1));
    }
    return title;
}

TEST(RebuildJob, ContinuesIntoTheSecondFileWithOneNumbering) {
    RebuildRig rig;
    const auto title = splitTitle();
    rig.chooseInput("FEATURE_1.EVO", title.first);
    writeFile(rig.dir.file("FEATURE_2.EVO"), title.second);
    rig.host.workdir = outputFolder(rig);
    rig.run();

    const auto out = rig.host.workdir + "/FEATURE_1_2.rebuilt.EVO";
    EXPECT_EQ(rig.sink.lines, (Lines{"Opening file FEATURE_1.EVO", "File size: 0 Mbytes.",
                                     "Creating " + out, "Continue on FEATURE_2.EVO", "Done."}));
    EXPECT_EQ(readFile(out), title.expected);
    EXPECT_FALSE(rig.state->InFile.isOpen());
}

TEST(RebuildJob, NoContinuationWithTheOptionOff) {
    RebuildRig rig;
    const auto title = splitTitle();
    rig.chooseInput("FEATURE_1.EVO", title.first);
    writeFile(rig.dir.file("FEATURE_2.EVO"), title.second);
    rig.host.workdir = outputFolder(rig);
    rig.host.continueWithNext = false;
    rig.run();
    EXPECT_EQ(rig.sink.lines.size(), 4u);
    EXPECT_EQ(readFile(rig.host.workdir + "/FEATURE_1.rebuilt.EVO"),
              Bytes(title.expected.begin(), title.expected.begin() + title.first.size()));
}

TEST(RebuildJob, NamesThatNeverContinue) {
    for (const auto& [name, next] :
         {std::pair{"FEATURE_2.EVO", "FEATURE_3.EVO"}, std::pair{"feature_1.evo", "feature_2.evo"},
          std::pair{"feature_1.evo", "feature_2.EVO"}}) {
        SCOPED_TRACE(name);
        RebuildRig rig;
        rig.chooseInput(name, packOf(StreamRef::vc1(0)));
        writeFile(rig.dir.file(next), packOf(StreamRef::vc1(0)));
        rig.host.workdir = outputFolder(rig);
        rig.run();
        const std::string base(name, std::string_view(name).size() - 4);
        EXPECT_EQ(rig.sink.lines.at(2),
                  "Creating " + rig.host.workdir + "/" + base + ".rebuilt.EVO");
        EXPECT_EQ(rig.sink.lines.at(3), "Done.");
    }
}

TEST(RebuildJob, OptionSwitchedOffDuringTheFirstFile) {
    RebuildRig rig;
    const auto title = splitTitle(kPacksPer4MiB);
    rig.chooseInput("FEATURE_1.EVO", title.first);
    writeFile(rig.dir.file("FEATURE_2.EVO"), title.second);
    rig.host.workdir = outputFolder(rig);
    rig.host.onProcessEvents = [&] { rig.host.continueWithNext = false; };
    rig.run();
    EXPECT_EQ(readFile(rig.host.workdir + "/FEATURE_1_2.rebuilt.EVO").size(), title.first.size());
    EXPECT_EQ(rig.sink.lines.at(3), "Done.");
}

TEST(RebuildJob, NextFileCreatedDuringTheFirstFile) {
    RebuildRig rig;
    const auto title = splitTitle(kPacksPer4MiB);
    rig.chooseInput("FEATURE_1.EVO", title.first);
    rig.host.workdir = outputFolder(rig);
    rig.host.onProcessEvents = [&] {
        if (!fileExists(rig.dir.file("FEATURE_2.EVO")))
            writeFile(rig.dir.file("FEATURE_2.EVO"), title.second);
    };
    rig.run();
    EXPECT_EQ(rig.sink.lines.at(3), "Continue on FEATURE_2.EVO");
    EXPECT_EQ(readFile(rig.host.workdir + "/FEATURE_1.rebuilt.EVO"), title.expected);
}

// ---- Cancel ------------------------------------------------------------------------------

TEST(RebuildJob, CancelDuringTheFirstFileAsksThenStopsAfterThePackInHand) {
    for (const bool yes : {true, false}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        RecordingSink sink;
        BasicHost host;
        Commands commands(sink, host);
        TempDir dir;
        const auto title = splitTitle(kPacksPer4MiB + 20);
        writeFile(dir.file("FEATURE_1.EVO"), title.first);
        writeFile(dir.file("FEATURE_2.EVO"), title.second);
        commands.input().chooseEvo(dir.file("FEATURE_1.EVO"), host);
        host.workdir = dir.path().string();
        host.clock = [] { return 0.0; };
        host.confirmAnswer = yes;
        host.onProcessEvents = [&] { commands.bCancelClick(); };

        ASSERT_TRUE(commands.bRebuildClick());

        EXPECT_EQ(host.questions, 1);
        EXPECT_EQ(host.lastQuestion, "Are you sure to stop demuxing?");
        const auto out = dir.file("FEATURE_1_2.rebuilt.EVO");
        if (yes) {
            // No continuation, and the log ends as after a normal run.
            EXPECT_EQ(sink.lines, (Lines{"Opening file FEATURE_1.EVO", "File size: 4 Mbytes.",
                                         "Creating " + out, "Done."}));
            EXPECT_EQ(readFile(out),
                      Bytes(title.expected.begin(), title.expected.begin() + kPacksPer4MiB * 2048));
        } else {
            EXPECT_EQ(readFile(out), title.expected);
        }
        EXPECT_EQ(sink.panels[0], "Ready");
        EXPECT_TRUE(host.isEnabled(Command::Rebuild));
    }
}

// ---- Failures ----------------------------------------------------------------------------

TEST(RebuildJob, InputThatCannotBeOpened) {
    RebuildRig rig;
    rig.input.chooseEvo(rig.dir.file("GONE.EVO"), rig.host);
    rig.host.workdir = outputFolder(rig);
    try {
        rig.run();
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot open file \"" + rig.dir.file("GONE.EVO") +
                                                 "\". No such file or directory");
    }
    EXPECT_EQ(rig.sink.lines, (Lines{"Opening file GONE.EVO"}));
    EXPECT_FALSE(fileExists(rig.host.workdir + "/GONE.rebuilt.EVO"));
    EXPECT_FALSE(rig.host.isEnabled(Command::Rebuild));
}

TEST(RebuildJob, OutputThatCannotBeCreated) {
    RebuildRig rig;
    rig.chooseInput("MOVIE.EVO", packOf(StreamRef::vc1(0)));
    rig.host.workdir = rig.dir.file("missing");
    try {
        rig.run();
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot create file \"" + rig.dir.file("missing") +
                                                 "/MOVIE.rebuilt.EVO\". No such file or directory");
    }
    EXPECT_EQ(rig.sink.lines, (Lines{"Opening file MOVIE.EVO", "File size: 0 Mbytes."}));
    EXPECT_EQ(rig.sink.panels[0], "Opening");
    EXPECT_FALSE(rig.state->InFile.isOpen());
    EXPECT_FALSE(rig.host.isEnabled(Command::Rebuild));
}

TEST(RebuildJob, WriteFailuresAreStreamWriteErrors) {
    // Small enough to fail only when the buffered bytes are flushed at the close, and large
    // enough to fail while the packs are written.
    for (const std::size_t packs : {std::size_t{3}, 2 * kPacksPer4MiB}) {
        SCOPED_TRACE(packs);
        RebuildRig rig;
        Bytes in;
        for (std::size_t i = 0; i < packs; ++i) appendPack(in, packOf(StreamRef::vc1(0)));
        rig.chooseInput("MOVIE.EVO", in);
        const auto folder = outputFolder(rig);
        rig.host.workdir = folder;
        ASSERT_EQ(::symlink("/dev/full", (folder + "/MOVIE.rebuilt.EVO").c_str()), 0);
        try {
            rig.run();
            FAIL() << "no error";
        } catch (const FileError& error) {
            EXPECT_EQ(std::string(error.what()), "Stream write error");
        }
        EXPECT_EQ(rig.sink.lines.back(), "Creating " + folder + "/MOVIE.rebuilt.EVO");
        EXPECT_EQ(rig.sink.panels[0], "Writing EVO...");
        EXPECT_FALSE(rig.state->InFile.isOpen());
        EXPECT_FALSE(rig.state->RebuildOut.isOpen());
    }
}

}  // namespace
}  // namespace tarnwell::testing
