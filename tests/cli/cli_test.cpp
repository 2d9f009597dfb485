#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli/process.h"
#include "engine/version.h"
#include "evo_builder.h"
#include "support/temp_dir.h"

namespace tarnwell::testing {
namespace {

using Lines = std::vector<std::string>;

const Lines kReadLog = {
    "Opening file FEATURE_1.EVO",
    "File size: 6 Mbytes.",
    "It contains 1 video stream and 2 audio streams.",
    "H.264 video stream 0 found!",
    "DD+ audio stream 0 found!",
    "LPCM audio stream 1 found!",
    "Subpicture stream 0 found!",
    "Subpicture stream 1 found!",
    "Done.",
    "576 frames count in video stream 0.",
};

Lines joined(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The sample disc, written once for all tests by the sample tool.
class CliTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        disc = new TempDir;
        const auto made = runProgram("tarnwell-sample", {disc->path().string()});
        ASSERT_EQ(made.status, 0) << made.err;
    }
    static void TearDownTestSuite() {
        delete disc;
        disc = nullptr;
    }

    static std::string evo(const std::string& name) { return disc->file("HVDVD_TS/" + name); }
    std::string out(const std::string& name) const { return outDir.file(name); }

    ProcessResult cli(const std::vector<std::string>& arguments) {
        return runProgram("tarnwell-cli", arguments, outDir.path().string());
    }

    std::vector<std::string> outputNames() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(outDir.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static TempDir* disc;
    TempDir outDir;
};

TempDir* CliTest::disc = nullptr;

TEST_F(CliTest, ReadLogsEveryLineOnStandardOutput) {
    const auto result = cli({"read", evo("FEATURE_1.EVO")});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.outLines(), kReadLog);
    EXPECT_EQ(result.out.back(), '\n');
    EXPECT_EQ(result.err, "");
}

TEST_F(CliTest, DemuxReadsThenWritesTheSplitTitle) {
    const auto result = cli({"demux", "-o", outDir.path().string(), evo("FEATURE_1.EVO")});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.outLines(),
              joined(kReadLog, {
                                   "Opening file FEATURE_1.EVO",
                                   "File size: 6 Mbytes.",
                                   "Creating " + out("FEATURE_1_2.H.264.stream.0.mpv"),
                                   "Creating " + out("FEATURE_1_2.DD+.stream.00.mpa"),
                                   "Creating " + out("FEATURE_1_2.LPCM.stream.01.mpa"),
                                   "Creating " + out("FEATURE_1_2.Subpicture.00.sup"),
                                   "Creating " + out("FEATURE_1_2.Subpicture.01.sup"),
                                   "It contains 1 video stream and 2 audio streams.",
                                   "Continue on FEATURE_2.EVO",
                                   "It contains 1 video stream and 2 audio streams.",
                                   "Done.",
                                   "960 frames count in video stream 0.",
                               }));
    EXPECT_EQ(outputNames(),
              (Lines{"FEATURE_1_2.DD+.stream.00.mpa", "FEATURE_1_2.H.264.stream.0.mpv",
                     "FEATURE_1_2.LPCM.stream.01.mpa", "FEATURE_1_2.Subpicture.00.pts",
                     "FEATURE_1_2.Subpicture.00.sup", "FEATURE_1_2.Subpicture.01.pts",
                     "FEATURE_1_2.Subpicture.01.sup"}));
    // The count of the second file alone makes up the rest.
    const auto second = cli({"read", evo("FEATURE_2.EVO")});
    EXPECT_EQ(second.outLines().back(), "384 frames count in video stream 0.");
    EXPECT_EQ(readFile(out("FEATURE_1_2.Subpicture.00.pts")).size() % 4, 0u);
}

TEST_F(CliTest, DemuxWithOptions) {
    const auto result =
        cli({"demux", "--no-continue", "--no-count-frames", "--only=video0,audio01,sub01", "--drop",
             "sub01", "--video-ext", "h264", "--audio-ext=pcm", evo("FEATURE_1.EVO")});
    EXPECT_EQ(result.status, 0);
    const Lines expected = {
        "Opening file FEATURE_1.EVO",
        "File size: 6 Mbytes.",
        "It contains 1 video stream and 2 audio streams.",
        "H.264 video stream 0 found!",
        "DD+ audio stream 0 found!",
        "LPCM audio stream 1 found!",
        "Subpicture stream 0 found!",
        "Subpicture stream 1 found!",
        "Done.",
        "Opening file FEATURE_1.EVO",
        "File size: 6 Mbytes.",
        "Creating FEATURE_1.H.264.stream.0.h264",
        "Creating FEATURE_1.LPCM.stream.01.pcm",
        "It contains 1 video stream and 2 audio streams.",
        "Done.",
    };
    EXPECT_EQ(result.outLines(), expected);
    EXPECT_EQ(outputNames(),
              (Lines{"FEATURE_1.H.264.stream.0.h264", "FEATURE_1.LPCM.stream.01.pcm"}));
}

TEST_F(CliTest, FailedJobPrintsItsErrorAndExitsWithOne) {
    const auto missing = cli({"read", "NONE.EVO"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.outLines(), Lines{"Opening file NONE.EVO"});
    EXPECT_EQ(missing.err,
              "Cannot open file \"" + out("NONE.EVO") + "\". No such file or directory\n");

    const auto noFolder = cli({"demux", "-o", out("nowhere/"), evo("FEATURE_1.EVO")});
    EXPECT_EQ(noFolder.status, 1);
    EXPECT_EQ(noFolder.outLines(),
              joined(kReadLog, {"Opening file FEATURE_1.EVO", "File size: 6 Mbytes."}));
    EXPECT_EQ(noFolder.err, "Cannot create file \"" +
                                out("nowhere/FEATURE_1_2.H.264.stream.0.mpv") +
                                "\". No such file or directory\n");
}

TEST_F(CliTest, NonRegularInputFailsAtOnce) {
    // A FIFO without a writer would hold the open for ever; a device has no size to read by.
    const std::string fifo = out("FEATURE_1.EVO");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& input : {fifo, std::string("/dev/zero")}) {
        const auto result = cli({"read", input});
        EXPECT_EQ(result.status, 1) << input;
        EXPECT_EQ(result.err, "Cannot open file \"" + input + "\". Illegal seek\n");
    }
}

TEST_F(CliTest, InterruptCancelsAndKeepsWhatWasWritten) {
    // The sample's first file followed by nothing up to 2 GiB (sparse), so the pass runs long
    // enough to be interrupted however fast it is.
    const auto big = out("BIG.EVO");
    writeFile(big, readFile(evo("FEATURE_1.EVO")));
    ASSERT_EQ(::truncate(big.c_str(), 2147483648LL), 0);
    std::filesystem::create_directory(out("cut"));
    const auto result = runProgram(
        "tarnwell-cli", {"demux", "--no-continue", "-o", out("cut"), big}, outDir.path().string(),
        [](const std::string& soFar) {
            return soFar.find("Creating ") != std::string::npos &&
                   soFar.find("It contains", soFar.find("Creating ")) != std::string::npos;
        });
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    // A pass that ran to its end would have counted the frames.
    EXPECT_EQ(result.outLines().back(), "Done.");

    // The files were closed with what was written up to the stop: a start of what a whole
    // pass writes.
    std::filesystem::create_directory(out("whole"));
    ASSERT_EQ(cli({"demux", "--no-continue", "-o", out("whole"), evo("FEATURE_1.EVO")}).status, 0);
    for (const char* name : {".H.264.stream.0.mpv", ".LPCM.stream.01.mpa", ".Subpicture.00.pts"}) {
        SCOPED_TRACE(name);
        const auto cut = readFile(out("cut/BIG") + name);
        const auto whole = readFile(out("whole/FEATURE_1") + name);
        EXPECT_FALSE(cut.empty());
        ASSERT_LE(cut.size(), whole.size());
        EXPECT_TRUE(std::equal(cut.begin(), cut.end(), whole.begin()));
    }
}

// The lines of a text file that must end in a newline.
Lines fileLines(const std::string& path) {
    const auto bytes = readFile(path);
    const std::string text(bytes.begin(), bytes.end());
    if (!text.empty()) {
        EXPECT_EQ(text.back(), '\n') << path;
    }
    ProcessResult asOutput;
    asOutput.out = text;
    return asOutput.outLines();
}

TEST_F(CliTest, PlaylistViewsAsFiles) {
    const auto playlist = disc->file("ADV_OBJ/VPLST000.XPL");
    ASSERT_TRUE(std::filesystem::exists(playlist));
    const auto result = cli({"xpl", "--evo", evo("FEATURE_1.EVO"), "--tags", out("tags.txt"),
                             "--tree", out("tree.txt"), playlist});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.outLines().front(), "Open VPLST000.XPL");
    EXPECT_EQ(result.outLines().back(), "Done.");

    const auto tags = fileLines(out("tags.txt"));
    EXPECT_FALSE(tags.empty());
    const auto tree = fileLines(out("tree.txt"));
    ASSERT_FALSE(tree.empty());
    // Top-level nodes at the margin, two more blanks for each level below.
    std::size_t previous = 0;
    for (const auto& line : tree) {
        const auto indent = line.find_first_not_of(' ');
        ASSERT_NE(indent, std::string::npos) << line;
        EXPECT_EQ(indent % 2, 0u) << line;
        EXPECT_LE(indent, previous + 2) << line;
        previous = indent;
    }
    EXPECT_EQ(tree.front().find_first_not_of(' '), 0u);
    // Every track the playlist offered is a node one level down.
    for (const auto& line : result.outLines()) {
        const auto found = line.find(" found!");
        if (found == std::string::npos) continue;
        EXPECT_NE(std::find(tree.begin(), tree.end(), "  " + line.substr(0, found)), tree.end())
            << line;
    }
}

TEST_F(CliTest, EmptyPlaylistGivesAnEmptyTagFile) {
    writeFile(out("EMPTY.XPL"), {});
    writeFile(out("tags.txt"), {'x', '\n'});
    const auto result = cli({"xpl", "--tags", out("tags.txt"), "EMPTY.XPL"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(readFile(out("tags.txt")).empty());
}

TEST_F(CliTest, PlaylistViewsAreWrittenOnlyAfterANormalEnd) {
    const auto result = cli({"xpl", "--tags", out("tags.txt"), "NONE.XPL"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("NONE.XPL"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(out("tags.txt")));

    const auto unwritable =
        cli({"xpl", "--tree", out("no/tree.txt"), disc->file("ADV_OBJ/VPLST000.XPL")});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_EQ(unwritable.err,
              "Cannot create file \"" + out("no/tree.txt") + "\". No such file or directory\n");
}

TEST_F(CliTest, DemuxNamesTheFilesAfterThePlaylistTracks) {
    const auto result = cli({"demux", "--xpl", disc->file("ADV_OBJ/VPLST000.XPL"), "--only",
                             "audio00", "--no-continue", evo("FEATURE_1.EVO")});
    ASSERT_EQ(result.status, 0) << result.err;
    Lines created;
    for (const auto& line : result.outLines())
        if (line.rfind("Creating ", 0) == 0) created.push_back(line);
    ASSERT_EQ(created.size(), 1u);
    // Named after one of the captions the playlist gave (its "found!" lines), not the read's.
    bool named = false;
    for (const auto& line : result.outLines()) {
        const auto found = line.find(" found!");
        if (found == std::string::npos || line.find(" stream ") != std::string::npos) continue;
        const auto name = "FEATURE_1." + line.substr(0, found) + ".mpa";
        if (created.front() != "Creating " + name) continue;
        named = true;
        EXPECT_TRUE(std::filesystem::exists(out(name)));
    }
    EXPECT_TRUE(named) << created.front();
}

TEST_F(CliTest, RebuildAfterReadXplDropsTheUntickedStreamsAsWithout) {
    const std::string xpl = disc->file("ADV_OBJ/VPLST000.XPL");
    const auto plain = cli({"rebuild", "--no-continue", "--drop", "audio01", evo("FEATURE_1.EVO")});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.err, "");
    const auto dropped = std::filesystem::file_size(out("FEATURE_1.rebuilt.EVO"));
    EXPECT_LT(dropped, std::filesystem::file_size(evo("FEATURE_1.EVO")));

    const auto withXpl =
        cli({"rebuild", "--no-continue", "--xpl", xpl, "--drop", "audio01", evo("FEATURE_1.EVO")});
    ASSERT_EQ(withXpl.status, 0) << withXpl.err;
    EXPECT_EQ(withXpl.err, "");
    EXPECT_EQ(std::filesystem::file_size(out("FEATURE_1.rebuilt.EVO")), dropped);
}

TEST_F(CliTest, ReadJsonIsOneDocumentWithTheStableFields) {
    // Video 0 starts 900 ticks before the 33-bit wrap, audio 0 900 ticks after it; audio 1
    // has no time stamp; one pack each. The name is not UTF-8.
    using fixture::StreamRef;
    constexpr std::int64_t kVideoPts = (std::int64_t{1} << 33) - 900;
    const auto video = fixture::vc1Frames(3, 400, 1);
    ASSERT_LE(video.size(), fixture::PackWriter::packCapacity(StreamRef::vc1(0), true));
    const auto audio = fixture::randomPayload(500, 2);
    fixture::PackWriter writer;
    writer.navPack(2, 1);
    writer.write(StreamRef::vc1(0), video, kVideoPts);
    writer.write(StreamRef::dd(0), audio, 900);
    writer.write(StreamRef::dd(1), audio);
    const std::string name = "T\xff.EVO";
    writeFile(out(name), writer.bytes());

    const auto result = cli({"read", "--json", name});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const auto frames = cli({"read", name}).outLines().back();
    const auto stream = [](const char* slot, int code, const char* codec, const char* caption,
                           nlohmann::ordered_json pts, nlohmann::ordered_json delay,
                           std::size_t bytes) {
        return nlohmann::ordered_json{{"slot", slot},       {"code", code},     {"codec", codec},
                                      {"caption", caption}, {"first_pts", pts}, {"delay_ms", delay},
                                      {"packets", 1},       {"bytes", bytes}};
    };
    const nlohmann::ordered_json expected = {
        {"file", "T\uFFFD.EVO"},
        {"size", writer.bytes().size()},
        {"cut_by_fast_check", false},
        {"frame_counts", {std::stoi(frames), 0}},
        {"streams",
         {stream("video0", 0x55, "VC-1", "VC-1.stream.0", kVideoPts, 0, video.size()),
          stream("audio00", 0x80, "DD", "DD.stream.00", 900, 20, audio.size()),
          stream("audio01", 0x81, "DD", "DD.stream.01", nullptr, nullptr, audio.size())}}};
    EXPECT_EQ(nlohmann::ordered_json::parse(result.out), expected) << result.out;
}

TEST_F(CliTest, HelpNamesTheExitCodes) {
    const auto result = cli({"--help"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_NE(result.out.find("tarnwell-cli read    [OPTIONS] EVO"), std::string::npos);
    EXPECT_NE(result.out.find("0  every job ended normally"), std::string::npos);
    EXPECT_NE(result.out.find("1  a job ended on an error"), std::string::npos);
    EXPECT_NE(result.out.find("2  usage error"), std::string::npos);
    EXPECT_EQ(cli({"demux", "-h", "--bogus"}).out, result.out);
}

TEST_F(CliTest, VersionIsOneLineWhereverItStands) {
    for (const Lines& arguments : {Lines{"--version"}, Lines{"read", "--version", "--bogus"}}) {
        const auto result = cli(arguments);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, std::string("Tarnwell ") + kVersion + "\n");
        EXPECT_EQ(result.err, "");
    }
}

struct UsageCase {
    std::vector<std::string> arguments;
    const char* message;
};

void PrintTo(const UsageCase& c, std::ostream* out) {
    *out << "tarnwell-cli";
    for (const auto& argument : c.arguments) *out << " '" << argument << "'";
}

class CliUsageTest : public ::testing::TestWithParam<UsageCase> {};

TEST_P(CliUsageTest, ExitsWithTwoNamingTheProblemInOneLine) {
    const auto result = runProgram("tarnwell-cli", GetParam().arguments);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, std::string("tarnwell-cli: ") + GetParam().message +
                              "\nTry 'tarnwell-cli --help'.\n");
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, CliUsageTest,
    ::testing::Values(
        UsageCase{{}, "no command given"},
        UsageCase{{"check", "A.EVO"}, "unknown command \"check\""},
        UsageCase{{"read"}, "the EVO file is missing"},
        UsageCase{{"read", ""}, "the EVO file name is empty"},
        UsageCase{{"read", "A.EVO", "B.EVO"}, "more than one EVO file: \"B.EVO\""},
        UsageCase{{"read", "--fast", "A.EVO"}, "unknown option \"--fast\""},
        UsageCase{{"read", "--version=1", "A.EVO"}, "unknown option \"--version\""},
        UsageCase{{"demux", "A.EVO", "-o"}, "-o needs a value"},
        UsageCase{{"demux", "--video-ext", "toolong", "A.EVO"},
                  "--video-ext takes at most 5 characters: \"toolong\""},
        UsageCase{{"demux", "--only", "video0,audio1", "A.EVO"}, "unknown stream slot \"audio1\""},
        UsageCase{{"demux", "--drop", "video2", "A.EVO"}, "unknown stream slot \"video2\""},
        UsageCase{{"demux", "--drop", "sub16", "A.EVO"}, "unknown stream slot \"sub16\""},
        UsageCase{{"demux", "--only", "video0,", "A.EVO"}, "unknown stream slot \"\""},
        UsageCase{{"demux", "--no-continue=yes", "A.EVO"}, "--no-continue takes no value"},
        UsageCase{{"demux", "--sup", "vobsub", "A.EVO"},
                  "unknown subpicture form \"vobsub\" (raw, hd or pgs)"},
        UsageCase{{"rebuild", "--sup=pgs", "A.EVO"}, "--sup does not apply to the rebuild command"},
        UsageCase{{"read", "--xpl", "V.XPL", "A.EVO"}, "--xpl does not apply to the read command"},
        UsageCase{{"demux", "--tags", "t.txt", "A.EVO"},
                  "--tags does not apply to the demux command"},
        UsageCase{{"rebuild"}, "the EVO file is missing"},
        UsageCase{{"rebuild", "--evo", "A.EVO", "B.EVO"},
                  "--evo does not apply to the rebuild command"},
        UsageCase{{"xpl"}, "the XPL file is missing"},
        UsageCase{{"xpl", "--xpl", "V.XPL", "W.XPL"}, "--xpl does not apply to the xpl command"},
        UsageCase{{"xpl", "--tree", "", "V.XPL"}, "an empty file name was given"},
        UsageCase{{"demux", "--json", "A.EVO"}, "--json does not apply to the demux command"}));

TEST(SampleToolTest, NeedsOneFolder) {
    EXPECT_EQ(runProgram("tarnwell-sample", {}).status, 2);
    EXPECT_EQ(runProgram("tarnwell-sample", {"a", "b"}).status, 2);
}

}  // namespace
}  // namespace tarnwell::testing
