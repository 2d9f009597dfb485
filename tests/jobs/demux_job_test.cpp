#include <fcntl.h>
#include <unistd.h>

#include "jobs/job_fixture.h"
#include "jobs/socket_file.h"

namespace tarnwell::testing {
namespace {

using fixture::Bytes;

constexpr int kVc1 = 0x55;
constexpr int kDDPlus = 0xC0;
constexpr int kSub = 0x20;

class DemuxJobTest : public JobFixture {
  protected:
    // FEATURE_1.EVO (and FEATURE_2.EVO when `secondSize` is not 0), read as the user would
    // before pressing Demux.
    void makeTitle(std::size_t firstSize, std::size_t secondSize = 0) {
        first = EvoFixture::title(firstSize, 11);
        first.save(disc("FEATURE_1.EVO"));
        if (secondSize > 0) {
            second = EvoFixture::title(secondSize, 22);
            second.save(disc("FEATURE_2.EVO"));
        }
        choose("FEATURE_1.EVO");
        ASSERT_EQ(read(), "");
        readLines = sink.lines.size();
    }

    std::vector<std::string> demuxLines() const { return linesFrom(readLines); }

    static Bytes joined(const Bytes& a, const Bytes& b) {
        Bytes out = a;
        fixture::append(out, b);
        return out;
    }

    // The four outputs of the worked example under `base`.
    void expectOutputs(const std::string& base, const Bytes& video, const Bytes& audio,
                       const Bytes& sub, const Bytes& pts) {
        EXPECT_EQ(readFile(base + ".VC-1.stream.0.mpv"), video);
        EXPECT_EQ(readFile(base + ".DD+.stream.00.mpa"), audio);
        EXPECT_EQ(readFile(base + ".Subpicture.00.sup"), sub);
        EXPECT_EQ(readFile(base + ".Subpicture.00.pts"), pts);
    }
    void expectWholeFirst(const std::string& base) {
        expectOutputs(base, first.streamBytes(kVc1), first.streamBytes(kDDPlus),
                      first.streamBytes(kSub), first.ptsBytes(kSub));
    }

    EvoFixture first;
    EvoFixture second;
    std::size_t readLines = 0;
};

TEST_F(DemuxJobTest, WorkedExample) {
    makeTitle(200000);
    host.page = 3;
    EXPECT_EQ(demuxJob(), "");
    EXPECT_EQ(demuxLines(),
              (std::vector<std::string>{
                  "Opening file FEATURE_1.EVO",
                  "File size: 0 Mbytes.",
                  "Creating " + out("FEATURE_1.VC-1.stream.0.mpv"),
                  "Creating " + out("FEATURE_1.DD+.stream.00.mpa"),
                  "Creating " + out("FEATURE_1.Subpicture.00.sup"),
                  "It contains 1 video stream and 1 audio stream.",
                  "Done.",
                  std::to_string(first.frames(0)) + " frames count in video stream 0.",
              }));
    EXPECT_EQ(outputNames(), (std::vector<std::string>{
                                 "FEATURE_1.DD+.stream.00.mpa", "FEATURE_1.Subpicture.00.pts",
                                 "FEATURE_1.Subpicture.00.sup", "FEATURE_1.VC-1.stream.0.mpv"}));
    expectWholeFirst(out("FEATURE_1"));
    EXPECT_FALSE(first.ptsBytes(kSub).empty());
    EXPECT_EQ(host.page, kStatusPage);
    EXPECT_EQ(sink.statusTexts(0),
              (std::vector<std::string>{"Opening", "Reading", "Ready", "Opening",
                                        "Writing stream(s)", "Ready"}));
    EXPECT_EQ(sink.panels[1], "");
    EXPECT_TRUE(host.isEnabled(Command::Demux));
    EXPECT_FALSE(anyOutputOpen());
    EXPECT_EQ(host.questions, 0);

    // Run again: the same names, the files replaced.
    EXPECT_EQ(demuxJob(), "");
    expectWholeFirst(out("FEATURE_1"));
}

TEST_F(DemuxJobTest, ContinuesIntoTheSecondFile) {
    makeTitle(150000, 120000);
    EvoFixture alone = second;
    EXPECT_EQ(demuxJob(), "");
    const int frames = first.frames(0) + second.frames(0);
    EXPECT_EQ(demuxLines(), (std::vector<std::string>{
                                "Opening file FEATURE_1.EVO",
                                "File size: 0 Mbytes.",
                                "Creating " + out("FEATURE_1_2.VC-1.stream.0.mpv"),
                                "Creating " + out("FEATURE_1_2.DD+.stream.00.mpa"),
                                "Creating " + out("FEATURE_1_2.Subpicture.00.sup"),
                                "It contains 1 video stream and 1 audio stream.",
                                "Continue on FEATURE_2.EVO",
                                "It contains 1 video stream and 1 audio stream.",
                                "Done.",
                                std::to_string(frames) + " frames count in video stream 0.",
                            }));
    expectOutputs(out("FEATURE_1_2"), joined(first.streamBytes(kVc1), second.streamBytes(kVc1)),
                  joined(first.streamBytes(kDDPlus), second.streamBytes(kDDPlus)),
                  joined(first.streamBytes(kSub), second.streamBytes(kSub)),
                  joined(first.ptsBytes(kSub), second.ptsBytes(kSub)));
    EXPECT_EQ(outputNames().size(), 4u);

    // The total is what reads of the two files count one by one.
    const auto countOf = [this](const std::string& name) {
        choose(name);
        EXPECT_EQ(read(), "");
        return commands.state().FrameCount[0];
    };
    EXPECT_EQ(frames, countOf("FEATURE_1.EVO") + countOf("FEATURE_2.EVO"));
}

TEST_F(DemuxJobTest, EmptyOutputFolderWritesToTheCurrentFolder) {
    makeTitle(60000);
    host.workdir = "";
    CurrentFolder here(dir.path() / "out");
    EXPECT_EQ(demuxJob(), "");
    EXPECT_EQ(demuxLines()[2], "Creating FEATURE_1.VC-1.stream.0.mpv");
    EXPECT_EQ(demuxLines()[3], "Creating FEATURE_1.DD+.stream.00.mpa");
    EXPECT_EQ(demuxLines()[4], "Creating FEATURE_1.Subpicture.00.sup");
    expectWholeFirst(out("FEATURE_1"));
}

TEST_F(DemuxJobTest, FolderWithAndWithoutTrailingSeparator) {
    makeTitle(60000);
    host.workdir = out("");
    ASSERT_EQ(host.workdir.back(), '/');
    EXPECT_EQ(demuxJob(), "");
    const auto withSeparator = demuxLines();
    host.workdir.pop_back();
    readLines = sink.lines.size();
    EXPECT_EQ(demuxJob(), "");
    EXPECT_EQ(demuxLines(), withSeparator);
    EXPECT_EQ(withSeparator[2],
              "Creating " + dir.path().string() + "/out/FEATURE_1.VC-1.stream.0.mpv");
}

TEST_F(DemuxJobTest, EmptyExtensionsLeaveTheFinalPeriod) {
    makeTitle(60000);
    host.videoExt = "";
    host.audioExt = "";
    host.subExt = "";
    EXPECT_EQ(demuxJob(), "");
    EXPECT_EQ(demuxLines()[2], "Creating " + out("FEATURE_1.VC-1.stream.0."));
    EXPECT_EQ(outputNames(), (std::vector<std::string>{
                                 "FEATURE_1.DD+.stream.00.", "FEATURE_1.Subpicture.00.",
                                 "FEATURE_1.Subpicture.00.pts", "FEATURE_1.VC-1.stream.0."}));
    EXPECT_EQ(readFile(out("FEATURE_1.VC-1.stream.0.")), first.streamBytes(kVc1));
}

TEST_F(DemuxJobTest, ExistingOutputIsReplaced) {
    makeTitle(60000);
    writeFile(out("FEATURE_1.VC-1.stream.0.mpv"), Bytes(500000, 0x77));
    writeFile(out("FEATURE_1.Subpicture.00.pts"), Bytes(64, 0x77));
    EXPECT_EQ(demuxJob(), "");
    expectWholeFirst(out("FEATURE_1"));
}

TEST_F(DemuxJobTest, NoBoxChecked) {
    makeTitle(60000);
    for (const auto kind : {SlotKind::Video, SlotKind::Audio, SlotKind::Subpicture})
        commands.selection().setChecked(kind, 0, false);
    ASSERT_FALSE(host.isEnabled(Command::Demux));
    EXPECT_EQ(demuxJob(), "");
    EXPECT_EQ(demuxLines(), (std::vector<std::string>{
                                "Opening file FEATURE_1.EVO",
                                "File size: 0 Mbytes.",
                                "It contains 1 video stream and 1 audio stream.",
                                "Done.",
                            }));
    EXPECT_TRUE(outputNames().empty());
    EXPECT_EQ(commands.state().InFile.position(), 0);  // closed after the whole pass
}

TEST_F(DemuxJobTest, OnlyTheVideoOneBoxCountsFramesOfVideoOne) {
    EvoFixture evo;
    evo.nav(0, 2);
    for (int i = 0; i < 5; ++i) {
        evo.vc1Frame(0, 3000, 90000 + 3003 * i);
        evo.vc1Frame(1, 3000, 90001 + 3003 * i);
    }
    evo.save(disc("TWO.EVO"));
    choose("TWO.EVO");
    ASSERT_EQ(read(), "");
    commands.selection().setChecked(SlotKind::Video, 0, false);
    readLines = sink.lines.size();
    EXPECT_EQ(demuxJob(), "");
    EXPECT_EQ(demuxLines().back(), "5 frames count in video stream 1.");
    EXPECT_EQ(demuxLines()[2], "Creating " + out("TWO.VC-1.stream.1.mpv"));
    EXPECT_EQ(readFile(out("TWO.VC-1.stream.1.mpv")), evo.streamBytes(0x56));
}

TEST_F(DemuxJobTest, LowerCaseNameDoesNotContinue) {
    EvoFixture::title(60000, 31).save(disc("feature_1.evo"));
    EvoFixture::title(60000, 32).save(disc("feature_2.evo"));
    EvoFixture::title(60000, 33).save(disc("feature_2.EVO"));
    choose("feature_1.evo");
    ASSERT_EQ(read(), "");
    readLines = sink.lines.size();
    EXPECT_EQ(demuxJob(), "");
    for (const auto& line : demuxLines()) EXPECT_EQ(line.find("Continue on"), std::string::npos);
    EXPECT_EQ(demuxLines()[2], "Creating " + out("feature_1.VC-1.stream.0.mpv"));
}

TEST_F(DemuxJobTest, SecondPartAloneDoesNotLookFurther) {
    EvoFixture::title(60000, 41).save(disc("FEATURE_2.EVO"));
    EvoFixture::title(60000, 42).save(disc("FEATURE_3.EVO"));
    choose("FEATURE_2.EVO");
    ASSERT_EQ(read(), "");
    readLines = sink.lines.size();
    EXPECT_EQ(demuxJob(), "");
    EXPECT_EQ(demuxLines()[2], "Creating " + out("FEATURE_2.VC-1.stream.0.mpv"));
    EXPECT_EQ(demuxLines().size(), 8u);
}

TEST_F(DemuxJobTest, OptionOffMeansNoContinuationAndNoSuffix) {
    makeTitle(60000, 60000);
    host.continueWithNext = false;
    EXPECT_EQ(demuxJob(), "");
    EXPECT_EQ(demuxLines()[2], "Creating " + out("FEATURE_1.VC-1.stream.0.mpv"));
    expectWholeFirst(out("FEATURE_1"));
}

TEST_F(DemuxJobTest, OptionSwitchedOffDuringTheFirstPass) {
    makeTitle(5 << 20, 60000);
    host.onProcessEvents = [this] { host.continueWithNext = false; };
    EXPECT_EQ(demuxJob(), "");
    EXPECT_EQ(demuxLines()[2], "Creating " + out("FEATURE_1_2.VC-1.stream.0.mpv"));
    for (const auto& line : demuxLines()) EXPECT_EQ(line.find("Continue on"), std::string::npos);
    EXPECT_EQ(demuxLines().back(),
              std::to_string(first.frames(0)) + " frames count in video stream 0.");
    expectWholeFirst(out("FEATURE_1_2"));
}

TEST_F(DemuxJobTest, NextFileGoneAfterTheFirstPass) {
    makeTitle(5 << 20, 60000);
    host.onProcessEvents = [this] { std::filesystem::remove(disc("FEATURE_2.EVO")); };
    EXPECT_EQ(demuxJob(), "");
    EXPECT_EQ(demuxLines()[2], "Creating " + out("FEATURE_1_2.VC-1.stream.0.mpv"));
    EXPECT_EQ(demuxLines()[demuxLines().size() - 2], "Done.");
    expectWholeFirst(out("FEATURE_1_2"));
}

TEST_F(DemuxJobTest, NextFileThatCannotBeOpenedEndsTheJobWithTheFirstFileComplete) {
    makeTitle(5 << 20, 60000);
    // At the first file's last progress step the next file is replaced by one that exists
    // but cannot be opened.
    host.onProcessEvents = [this] {
        std::filesystem::remove(disc("FEATURE_2.EVO"));
        makeSocketFile(disc("FEATURE_2.EVO"));
    };
    EXPECT_EQ(demuxJob(),
              "Cannot open file \"" + disc("FEATURE_2.EVO") + "\". No such device or address");
    EXPECT_EQ(demuxLines().back(), "It contains 1 video stream and 1 audio stream.");
    EXPECT_EQ(sink.panels[0], "Writing stream(s)");
    EXPECT_FALSE(anyOutputOpen());
    EXPECT_FALSE(host.isEnabled(Command::Demux));
    expectWholeFirst(out("FEATURE_1_2"));
}

TEST_F(DemuxJobTest, CancelDuringTheFirstPass) {
    makeTitle(6 << 20, 60000);
    host.onProcessEvents = [this] { commands.bCancelClick(); };
    EXPECT_EQ(demuxJob(), "");
    EXPECT_EQ(host.questions, 1);
    EXPECT_EQ(host.lastQuestion, "Are you sure to stop demuxing?");
    EXPECT_EQ(demuxLines().back(), "Done.");
    for (const auto& line : demuxLines()) EXPECT_EQ(line.find("Continue on"), std::string::npos);
    EXPECT_EQ(sink.statusTexts(0).back(), "Ready");
    EXPECT_FALSE(anyOutputOpen());
    // Everything up to the end of the block in hand, at the first 4 MiB step.
    const std::size_t cut = 4 << 20;
    expectOutputs(out("FEATURE_1_2"), first.streamBytes(kVc1, cut), first.streamBytes(kDDPlus, cut),
                  first.streamBytes(kSub, cut), first.ptsBytes(kSub, cut));
    EXPECT_LT(first.streamBytes(kVc1, cut).size(), first.streamBytes(kVc1).size());
}

TEST_F(DemuxJobTest, CancelAnsweredNoGoesOn) {
    makeTitle(5 << 20);
    host.confirmAnswer = false;
    host.onProcessEvents = [this] { commands.bCancelClick(); };
    EXPECT_EQ(demuxJob(), "");
    EXPECT_EQ(host.questions, 1);
    EXPECT_EQ(demuxLines().back(),
              std::to_string(first.frames(0)) + " frames count in video stream 0.");
    expectWholeFirst(out("FEATURE_1"));
}

TEST_F(DemuxJobTest, CancelDuringTheSecondPass) {
    makeTitle(100000, 6 << 20);
    host.onProcessEvents = [this] {
        if (fileNamePart(commands.state().InFile.path()) == "FEATURE_2.EVO")
            commands.bCancelClick();
    };
    EXPECT_EQ(demuxJob(), "");
    EXPECT_EQ(demuxLines()[demuxLines().size() - 3], "Continue on FEATURE_2.EVO");
    EXPECT_EQ(demuxLines().back(), "Done.");
    const std::size_t cut = 4 << 20;
    expectOutputs(out("FEATURE_1_2"),
                  joined(first.streamBytes(kVc1), second.streamBytes(kVc1, cut)),
                  joined(first.streamBytes(kDDPlus), second.streamBytes(kDDPlus, cut)),
                  joined(first.streamBytes(kSub), second.streamBytes(kSub, cut)),
                  joined(first.ptsBytes(kSub), second.ptsBytes(kSub, cut)));
}

TEST_F(DemuxJobTest, MissingOutputFolder) {
    makeTitle(60000);
    host.workdir = dir.file("nowhere");
    EXPECT_EQ(demuxJob(), "Cannot create file \"" +
                              dir.file("nowhere/FEATURE_1.VC-1.stream.0.mpv") +
                              "\". No such file or directory");
    EXPECT_EQ(demuxLines(),
              (std::vector<std::string>{"Opening file FEATURE_1.EVO", "File size: 0 Mbytes."}));
    EXPECT_EQ(sink.panels[0], "Opening");
    EXPECT_FALSE(anyOutputOpen());
}

TEST_F(DemuxJobTest, CreateErrorLeavesEarlierFilesEmpty) {
    makeTitle(60000);
    // A caption from the playlist that names a folder that does not exist.
    commands.selection().MarkFromPlaylist(SlotKind::Subpicture, 0, "English/Forced");
    EXPECT_EQ(demuxJob(), "Cannot create file \"" + out("FEATURE_1.English/Forced.sup") +
                              "\". No such file or directory");
    EXPECT_EQ(demuxLines(), (std::vector<std::string>{
                                "Opening file FEATURE_1.EVO",
                                "File size: 0 Mbytes.",
                                "Creating " + out("FEATURE_1.VC-1.stream.0.mpv"),
                                "Creating " + out("FEATURE_1.DD+.stream.00.mpa"),
                            }));
    EXPECT_EQ(outputNames(), (std::vector<std::string>{"FEATURE_1.DD+.stream.00.mpa",
                                                       "FEATURE_1.VC-1.stream.0.mpv"}));
    EXPECT_TRUE(readFile(out("FEATURE_1.VC-1.stream.0.mpv")).empty());
    EXPECT_TRUE(readFile(out("FEATURE_1.DD+.stream.00.mpa")).empty());
    EXPECT_FALSE(anyOutputOpen());
    EXPECT_FALSE(host.isEnabled(Command::Demux));
}

TEST_F(DemuxJobTest, TimeStampFileThatCannotBeCreated) {
    makeTitle(60000);
    std::filesystem::create_directory(out("FEATURE_1.Subpicture.00.pts"));
    const auto error = demuxJob();
    EXPECT_EQ(error.rfind("Cannot create file \"" + out("FEATURE_1.Subpicture.00.pts") + "\". ", 0),
              0u);
    // The stream file was created, but its line comes only with its time-stamp file.
    EXPECT_EQ(demuxLines().back(), "Creating " + out("FEATURE_1.DD+.stream.00.mpa"));
    EXPECT_TRUE(readFile(out("FEATURE_1.Subpicture.00.sup")).empty());
    EXPECT_FALSE(anyOutputOpen());
}

TEST_F(DemuxJobTest, TwoSlotsNamingOneFileIsACreateError) {
    makeTitle(60000);
    // The time-stamp file would be the subpicture file itself.
    host.subExt = "pts";
    EXPECT_EQ(demuxJob(), "Cannot create file \"" + out("FEATURE_1.Subpicture.00.pts") +
                              "\". Device or resource busy");
    EXPECT_EQ(demuxLines().back(), "Creating " + out("FEATURE_1.DD+.stream.00.mpa"));
    EXPECT_FALSE(anyOutputOpen());

    // Two tracks with the same text from the playlist.
    host.subExt = "sup";
    commands.selection().MarkFromPlaylist(SlotKind::Audio, 1, "English");
    commands.selection().MarkFromPlaylist(SlotKind::Audio, 2, "English");
    readLines = sink.lines.size();
    EXPECT_EQ(demuxJob(), "Cannot create file \"" + out("FEATURE_1.English.mpa") +
                              "\". Device or resource busy");
    EXPECT_EQ(demuxLines().back(), "Creating " + out("FEATURE_1.English.mpa"));
    EXPECT_TRUE(readFile(out("FEATURE_1.English.mpa")).empty());
}

TEST_F(DemuxJobTest, FlushFailureAtTheEndIsAWriteErrorAfterAllFilesAreClosed) {
    makeTitle(60000);
    // The audio of this small title stays in its file's buffer until the close, which then
    // cannot write it.
    ASSERT_LT(first.streamBytes(kDDPlus).size(), OutputFile::kBufferSize);
    std::filesystem::create_symlink("/dev/full", out("FEATURE_1.DD+.stream.00.mpa"));
    EXPECT_EQ(demuxJob(), "Stream write error");
    EXPECT_EQ(demuxLines().back(), "It contains 1 video stream and 1 audio stream.");
    EXPECT_FALSE(anyOutputOpen());
    // Files closed after the failing one still got all their data.
    EXPECT_EQ(readFile(out("FEATURE_1.VC-1.stream.0.mpv")), first.streamBytes(kVc1));
    EXPECT_EQ(readFile(out("FEATURE_1.Subpicture.00.sup")), first.streamBytes(kSub));
    EXPECT_EQ(readFile(out("FEATURE_1.Subpicture.00.pts")), first.ptsBytes(kSub));
}

TEST_F(DemuxJobTest, WriteErrorDuringThePassKeepsWhatWasWritten) {
    makeTitle(2 << 20);
    ASSERT_GT(first.streamBytes(kVc1).size(), OutputFile::kBufferSize);
    std::filesystem::create_symlink("/dev/full", out("FEATURE_1.VC-1.stream.0.mpv"));
    EXPECT_EQ(demuxJob(), "Stream write error");
    EXPECT_FALSE(anyOutputOpen());
    const auto audio = readFile(out("FEATURE_1.DD+.stream.00.mpa"));
    const auto whole = first.streamBytes(kDDPlus);
    EXPECT_FALSE(audio.empty());
    EXPECT_LT(audio.size(), whole.size());
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), whole.begin()));
}

TEST_F(DemuxJobTest, BoxTickedDuringTheJobGetsNoFile) {
    EvoFixture evo = EvoFixture::title(5 << 20, 51);
    evo.save(disc("FEATURE_1.EVO"));
    choose("FEATURE_1.EVO");
    ASSERT_EQ(read(), "");
    commands.selection().setChecked(SlotKind::Subpicture, 0, false);
    host.onProcessEvents = [this] {
        commands.selection().setChecked(SlotKind::Subpicture, 0, true);
        commands.selection().setChecked(SlotKind::Audio, 0, false);
    };
    EXPECT_EQ(demuxJob(), "");
    EXPECT_EQ(outputNames(), (std::vector<std::string>{"FEATURE_1.DD+.stream.00.mpa",
                                                       "FEATURE_1.VC-1.stream.0.mpv"}));
    // The audio file stops where the box was unticked: events run before the block that
    // ends at 4 MiB is parsed.
    EXPECT_EQ(readFile(out("FEATURE_1.DD+.stream.00.mpa")),
              evo.streamBytes(kDDPlus, (4 << 20) - kReadBufSize));
}

TEST_F(DemuxJobTest, SizeOfAnEightGibibyteFile) {
    const int fd = ::open(disc("BIG.EVO").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 8589934592LL), 0);
    ::close(fd);
    choose("BIG.EVO");
    commands.selection().MarkFromPlaylist(SlotKind::Video, 0, "Main");
    host.onProcessEvents = [this] { commands.bCancelClick(); };
    EXPECT_EQ(demuxJob(), "");
    EXPECT_EQ(sink.lines,
              (std::vector<std::string>{"Opening file BIG.EVO", "File size: 8192 Mbytes.",
                                        "Creating " + out("BIG.Main.mpv"), "Done."}));
    EXPECT_EQ(host.eventRounds, 1);
}

}  // namespace
}  // namespace tarnwell::testing
