#include <fcntl.h>
#include <unistd.h>

#include "jobs/job_fixture.h"

namespace tarnwell::testing {
namespace {

using fixture::StreamRef;

class ReadJobTest : public JobFixture {};

TEST_F(ReadJobTest, FindsTheStreamsAndTicksTheirBoxes) {
    const auto evo = EvoFixture::title(100000, 1);
    evo.save(disc("FEATURE_1.EVO"));
    choose("FEATURE_1.EVO");
    host.page = 5;
    sink.lines.push_back("an earlier line");

    EXPECT_EQ(read(), "");

    EXPECT_EQ(linesFrom(1), (std::vector<std::string>{
                                "Opening file FEATURE_1.EVO",
                                "File size: 0 Mbytes.",
                                "It contains 1 video stream and 1 audio stream.",
                                "VC-1 video stream 0 found!",
                                "DD+ audio stream 0 found!",
                                "Subpicture stream 0 found!",
                                "Done.",
                                std::to_string(evo.frames(0)) + " frames count in video stream 0.",
                            }));
    EXPECT_EQ(sink.statusTexts(0), (std::vector<std::string>{"Opening", "Reading", "Ready"}));
    EXPECT_EQ(sink.statusTexts(1).back(), "");
    EXPECT_EQ(host.page, kStatusPage);

    const auto& selection = commands.selection();
    EXPECT_EQ(selection.Caption(SlotKind::Video, 0), "VC-1.stream.0");
    EXPECT_EQ(selection.Caption(SlotKind::Audio, 0), "DD+.stream.00");
    EXPECT_EQ(selection.Caption(SlotKind::Subpicture, 0), "Subpicture.00");
    EXPECT_EQ(selection.Caption(SlotKind::Video, 1), "No video stream");
    EXPECT_EQ(selection.Caption(SlotKind::Audio, 1), "No audio stream");
    EXPECT_EQ(selection.Caption(SlotKind::Subpicture, 1), "No subpicture");
    for (const auto kind : {SlotKind::Video, SlotKind::Audio, SlotKind::Subpicture}) {
        EXPECT_TRUE(selection.slot(kind, 0).Enabled);
        EXPECT_TRUE(selection.IsChecked(kind, 0));
        EXPECT_FALSE(selection.IsChecked(kind, 1));
    }
    EXPECT_TRUE(host.isEnabled(Command::ReadEvo));
    EXPECT_TRUE(host.isEnabled(Command::Demux));
    EXPECT_FALSE(host.isEnabled(Command::Cancel));
    EXPECT_FALSE(commands.state().InFile.isOpen());

    // A second read of the same file logs the same lines again.
    const auto first = linesFrom(1);
    EXPECT_EQ(read(), "");
    EXPECT_EQ(linesFrom(1 + first.size()), first);
}

TEST_F(ReadJobTest, WhatTheReadFoundOutlivesReadXpl) {
    EvoFixture::title(100000, 1).save(disc("FEATURE_1.EVO"));
    choose("FEATURE_1.EVO");
    EXPECT_EQ(read(), "");
    const ScanResult found = commands.lastScan();
    ASSERT_EQ(found.streams.size(), 3u);
    EXPECT_EQ(found.find(SlotKind::Audio, 0)->code, 0xC0);

    const auto playlist = dir.file("VPLST000.XPL");
    const std::string text = "<Playlist></Playlist>";
    writeFile(playlist, {text.begin(), text.end()});
    commands.input().chooseXpl(playlist, host);
    EXPECT_EQ(run([this] { return commands.bReadXPLClick(); }), "");
    EXPECT_EQ(commands.state().streamTable.AudioIds[0], 0xC0);  // the codes stay the scan's
    EXPECT_EQ(commands.lastScan().streams, found.streams);
}

TEST_F(ReadJobTest, ReadThatFindsNothing) {
    EvoFixture::title(40000, 2).save(disc("FEATURE_1.EVO"));
    EvoFixture nothing;
    nothing.nav(0, 0);
    for (int i = 0; i < 20; ++i) nothing.paddingPack();
    nothing.save(disc("EMPTY.EVO"));
    choose("FEATURE_1.EVO");
    ASSERT_EQ(read(), "");
    ASSERT_TRUE(host.isEnabled(Command::Demux));

    choose("EMPTY.EVO");
    const auto from = sink.lines.size();
    EXPECT_EQ(read(), "");
    EXPECT_EQ(linesFrom(from), (std::vector<std::string>{
                                   "Opening file EMPTY.EVO",
                                   "File size: 0 Mbytes.",
                                   "It contains 0 video stream and 0 audio stream.",
                                   "Done.",
                               }));
    const auto& selection = commands.selection();
    EXPECT_FALSE(selection.AnyChecked());
    EXPECT_EQ(selection.Caption(SlotKind::Video, 0), "No video stream");
    EXPECT_EQ(selection.Caption(SlotKind::Audio, 0), "No audio stream");
    EXPECT_EQ(selection.Caption(SlotKind::Subpicture, 0), "No subpicture");
    EXPECT_FALSE(selection.slot(SlotKind::Video, 0).Enabled);
    EXPECT_FALSE(host.isEnabled(Command::Demux));
}

TEST_F(ReadJobTest, StreamsFoundOnlyAsNumberOne) {
    EvoFixture evo;
    evo.nav(1, 1);
    for (int i = 0; i < 6; ++i) {
        evo.vc1Frame(1, 5000, 90000 + 3003 * i);
        evo.payload(StreamRef::dd(1), 800, 90001 + 3003 * i);
        evo.subpicture(0x21, 200, 90002 + 3003 * i);
    }
    evo.save(disc("FEATURE_1.EVO"));
    choose("FEATURE_1.EVO");
    EXPECT_EQ(read(), "");
    EXPECT_EQ(linesFrom(3), (std::vector<std::string>{
                                "VC-1 video stream 1 found!",
                                "DD audio stream 1 found!",
                                "Subpicture stream 1 found!",
                                "Done.",
                                "6 frames count in video stream 1.",
                            }));
    const auto& selection = commands.selection();
    EXPECT_EQ(selection.Caption(SlotKind::Video, 1), "VC-1.stream.1");
    EXPECT_EQ(selection.Caption(SlotKind::Audio, 1), "DD.stream.01");
    EXPECT_EQ(selection.Caption(SlotKind::Subpicture, 1), "Subpicture.01");
    for (const auto kind : {SlotKind::Video, SlotKind::Audio, SlotKind::Subpicture}) {
        EXPECT_TRUE(selection.IsChecked(kind, 1));
        EXPECT_TRUE(selection.slot(kind, 1).Enabled);
        EXPECT_FALSE(selection.IsChecked(kind, 0));
        EXPECT_FALSE(selection.slot(kind, 0).Enabled);
    }
}

TEST_F(ReadJobTest, EmptyFile) {
    writeFile(disc("FEATURE_1.EVO"), {});
    choose("FEATURE_1.EVO");
    EXPECT_EQ(read(), "");
    EXPECT_EQ(sink.lines, (std::vector<std::string>{"Opening file FEATURE_1.EVO",
                                                    "File size: 0 Mbytes.", "Done."}));
}

TEST_F(ReadJobTest, SizeOfAnEightGibibyteFile) {
    // Sparse: nothing is stored, and the read is cancelled at its first progress step.
    const int fd = ::open(disc("BIG.EVO").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 8589934592LL), 0);
    ::close(fd);
    choose("BIG.EVO");
    host.onProcessEvents = [this] { commands.bCancelClick(); };
    EXPECT_EQ(read(), "");
    EXPECT_EQ(sink.lines, (std::vector<std::string>{"Opening file BIG.EVO",
                                                    "File size: 8192 Mbytes.", "Done."}));
    EXPECT_EQ(host.eventRounds, 1);
    EXPECT_EQ(host.questions, 0);
    EXPECT_EQ(
        sink.statusTexts(1).front().rfind("Reading BIG.EVO 4/8192 Mbytes, Remaining time: ", 0),
        0u);
}

TEST_F(ReadJobTest, CancelEndsLikeANormalReadWithoutFrameCounts) {
    EvoFixture::title(5 << 20, 3).save(disc("FEATURE_1.EVO"));
    choose("FEATURE_1.EVO");
    host.onProcessEvents = [this] { commands.bCancelClick(); };
    EXPECT_EQ(read(), "");
    EXPECT_EQ(linesFrom(3), (std::vector<std::string>{
                                "VC-1 video stream 0 found!",
                                "DD+ audio stream 0 found!",
                                "Subpicture stream 0 found!",
                                "Done.",
                            }));
    EXPECT_EQ(sink.statusTexts(0).back(), "Ready");
    EXPECT_TRUE(commands.selection().IsChecked(SlotKind::Video, 0));
    EXPECT_EQ(commands.state().FrameCount, (std::array<std::int32_t, 2>{0, 0}));
}

TEST_F(ReadJobTest, FileThatCannotBeOpened) {
    EvoFixture::title(40000, 4).save(disc("FEATURE_1.EVO"));
    choose("FEATURE_1.EVO");
    ASSERT_EQ(read(), "");
    choose("MISSING.EVO");
    const auto from = sink.lines.size();

    EXPECT_EQ(read(),
              "Cannot open file \"" + disc("MISSING.EVO") + "\". No such file or directory");

    EXPECT_EQ(linesFrom(from), std::vector<std::string>{"Opening file MISSING.EVO"});
    EXPECT_EQ(sink.panels[0], "Opening");
    EXPECT_FALSE(host.isEnabled(Command::ReadEvo));
    const auto& selection = commands.selection();
    EXPECT_FALSE(selection.slot(SlotKind::Video, 0).Enabled);
    EXPECT_EQ(selection.Caption(SlotKind::Video, 0), "No video stream");
    EXPECT_FALSE(commands.state().InFile.isOpen());
    EXPECT_FALSE(commands.jobRunning());
}

TEST_F(ReadJobTest, RelativePathOpensFromTheCurrentFolder) {
    EvoFixture::title(40000, 5).save(disc("FEATURE_1.EVO"));
    CurrentFolder here(dir.path());
    commands.input().chooseEvo("HVDVD_TS/FEATURE_1.EVO", host);
    EXPECT_EQ(read(), "");
    EXPECT_EQ(sink.lines.front(), "Opening file FEATURE_1.EVO");

    commands.input().chooseEvo("HVDVD_TS/NONE.EVO", host);
    EXPECT_EQ(read(), "Cannot open file \"" + dir.file("HVDVD_TS/NONE.EVO") +
                          "\". No such file or directory");
}

}  // namespace
}  // namespace tarnwell::testing
