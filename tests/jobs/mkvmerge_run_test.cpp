// mkvmerge as the job sees it, played by a shell script put first on PATH: its progress, its
// warnings (exit 1), its errors (exit 2) and a Cancel while it runs. The script refuses to
// run unless it was asked for an English UI.

#include "jobs/mkvmerge_run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace tarnwell {
namespace {

using Lines = std::vector<std::string>;

class FakeMkvmerge : public ::testing::Test {
  protected:
    FakeMkvmerge() : path_(std::getenv("PATH")) {
        ::setenv("PATH", (dir.path().string() + ":" + path_).c_str(), 1);
    }
    ~FakeMkvmerge() override { ::setenv("PATH", path_.c_str(), 1); }

    // Writes the script with `body` after its check of the arguments.
    void script(const std::string& body) {
        std::ofstream(dir.file("mkvmerge"))
            << "#!/bin/sh\n"
               "[ \"$1 $2 $3\" = \"--ui-language en_US @" +
                   dir.file("F.mkvmerge.json") +
                   "\" ] || { echo \"Error: asked with $*\"; exit 2; }\n"
            << body;
        ::chmod(dir.file("mkvmerge").c_str(), 0755);
    }

    // Runs it as the Demux job does; the error text, empty when it ended normally.
    std::string run() {
        const auto mkvmerge = findOnPath("mkvmerge");
        EXPECT_EQ(mkvmerge, dir.file("mkvmerge"));
        try {
            runMkvmerge(mkvmerge, dir.file("F.mkvmerge.json"), *state, sink, host);
        } catch (const ToolError& error) {
            return error.what();
        }
        return {};
    }
    // The log after the "Running" line.
    Lines log() const {
        EXPECT_FALSE(sink.lines.empty());
        return sink.lines.empty() ? Lines{} : Lines(sink.lines.begin() + 1, sink.lines.end());
    }

    testing::TempDir dir;
    std::unique_ptr<EngineState> state = std::make_unique<EngineState>();
    RecordingSink sink;
    BasicHost host;

  private:
    std::string path_;
};

TEST_F(FakeMkvmerge, ProgressWarningsAndErrorsAsItsExitCodeSays) {
    struct Case {
        const char* what;
        const char* body;
        std::string error;
        Lines log;
        // Status panel 1, cleared at the end.
        Lines progress;
    };
    const Case cases[] = {
        {"done",
         "printf 'Progress: 40%%\\rProgress: 100%%\\r\\nMultiplexing took 1 second.\\n'\n",
         "",
         {"mkvmerge: Multiplexing took 1 second."},
         {"mkvmerge 40%", "mkvmerge 100%", ""}},
        {"warnings",
         "echo 'Warning: odd track'\necho 'Multiplexing took 1 second.'\nexit 1\n",
         "",
         {"mkvmerge: Warning: odd track", "mkvmerge: Multiplexing took 1 second."},
         {""}},
        {"error",
         "printf 'Progress: 40%%\\r'\necho 'Error: no room'\necho 'Muxing ended.'\nexit 2\n",
         "mkvmerge failed: Error: no room",
         {},
         {"mkvmerge 40%", ""}},
        {"error without its line",
         "echo 'Muxing ended.'\nexit 2\n",
         "mkvmerge failed: Muxing ended.",
         {},
         {""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sink.lines.clear();
        sink.status.clear();
        script(c.body);
        EXPECT_EQ(run(), c.error);
        EXPECT_EQ(sink.lines.front(),
                  "Running " + dir.file("mkvmerge") + " @" + dir.file("F.mkvmerge.json"));
        EXPECT_EQ(log(), c.log);
        EXPECT_EQ(sink.statusTexts(1), c.progress);
        EXPECT_FALSE(host.isEnabled(Command::Cancel));
    }
}

TEST_F(FakeMkvmerge, CancelStopsItWhileItRuns) {
    script("printf 'Progress: 5%%\\r'\nexec sleep 60\n");
    host.onProcessEvents = [this] {
        EXPECT_TRUE(host.isEnabled(Command::Cancel));
        if (!sink.statusTexts(1).empty()) state->CancelRequested = true;
    };
    EXPECT_EQ(run(), "");
    EXPECT_EQ(log(), (Lines{"mkvmerge stopped."}));
    EXPECT_FALSE(host.isEnabled(Command::Cancel));
}

}  // namespace
}  // namespace tarnwell
