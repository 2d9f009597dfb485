// Outputs that the system refuses to create: a folder the user may not write to, and names
// that the file system turns down. The job ends with the create error, nothing stays open and
// nothing is reported as done.

#include <filesystem>
#include <sstream>

#include "hardening/hardening_fixture.h"

namespace tarnwell::testing {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

class RefusedOutputsTest : public HardeningFixture {};

Lines splitLines(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST_F(RefusedOutputsTest, OutputFolderWithoutWritePermission) {
    readTitle(60000, 21);
    // Others may reach the input but not write to the output folder.
    fs::permissions(dir.path(),
                    fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(out(""), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                 fs::perms::group_exec | fs::perms::others_read |
                                 fs::perms::others_exec);
    const std::pair<Job, std::string> cases[] = {
        {Job::Demux, "FEATURE_1.VC-1.stream.0.mpv"},
        {Job::Rebuild, "FEATURE_1.rebuilt.EVO"},
    };
    for (const auto& [job, firstOutput] : cases) {
        SCOPED_TRACE(jobName(job));
        const auto from = sink.lines.size();
        // What the job left behind, as lines, so it can come back from a child process.
        const auto report = runUnprivileged([&, job = job] {
            const int files = openFileCount();
            std::string text = runJob(job) + "\n";
            text += anyFileOpen() || openFileCount() != files ? "open\n" : "closed\n";
            text += sink.panels[0] + "\n";
            text += host.isEnabled(job == Job::Demux ? Command::Demux : Command::Rebuild)
                        ? "enabled\n"
                        : "disabled\n";
            for (const auto& line : linesFrom(from)) text += line + "\n";
            return text;
        });
        if (report == kNoPrivilegeDrop) GTEST_SKIP() << "cannot run as another user here";
        EXPECT_EQ(
            splitLines(report),
            (Lines{"Cannot create file \"" + out(firstOutput) + "\". Permission denied", "closed",
                   "Opening", "disabled", "Opening file FEATURE_1.EVO", "File size: 0 Mbytes."}));
        EXPECT_TRUE(outputNames().empty());
    }
    fs::permissions(out(""), fs::perms::owner_all);
}

TEST_F(RefusedOutputsTest, NamesTheFileSystemRefuses) {
    // The input's own name fits, but the outputs named after it are longer than a name may be.
    const std::string longStem(247, 'L');
    struct Case {
        const char* what;
        Job job;
        std::string input;
        std::string audioExtension;
        std::string refused;
        std::string reason;
        Lines createdBefore;
    };
    const Case cases[] = {
        {"long name",
         Job::Demux,
         longStem + ".EVO",
         "mpa",
         longStem + ".VC-1.stream.0.mpv",
         "File name too long",
         {}},
        {"long name",
         Job::Rebuild,
         longStem + ".EVO",
         "mpa",
         longStem + ".rebuilt.EVO",
         "File name too long",
         {}},
        // An extension that leads into a folder that does not exist.
        {"slash in the extension",
         Job::Demux,
         "FEATURE_1.EVO",
         "mpa/x",
         "FEATURE_1.DD+.stream.00.mpa/x",
         "No such file or directory",
         {"FEATURE_1.VC-1.stream.0.mpv"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(jobName(c.job)) + ", " + c.what);
        readTitle(60000, 22, c.input);
        host.audioExt = c.audioExtension;
        for (const auto& name : outputNames()) fs::remove(out(name));
        const auto from = sink.lines.size();
        const int files = openFileCount();

        EXPECT_EQ(runJob(c.job), "Cannot create file \"" + out(c.refused) + "\". " + c.reason);

        EXPECT_FALSE(anyFileOpen());
        EXPECT_EQ(openFileCount(), files);
        expectNoSuccess(c.job, from);
        Lines expectedLog{"Opening file " + c.input, "File size: 0 Mbytes."};
        for (const auto& name : c.createdBefore) expectedLog.push_back("Creating " + out(name));
        EXPECT_EQ(linesFrom(from), expectedLog);
        // Files created before the refused one stay, empty.
        EXPECT_EQ(outputNames(), c.createdBefore);
        for (const auto& name : c.createdBefore) EXPECT_TRUE(readFile(out(name)).empty());
    }
}

}  // namespace
}  // namespace tarnwell::testing
