#pragma once
// The jobs run through `Commands` as the window runs them, with a plain host, a recording sink
// and a disc in a temporary folder: <tmp>/HVDVD_TS for the EVO files, <tmp>/out for outputs.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "io/report_sink.h"
#include "jobs/commands.h"
#include "jobs/evo_fixture.h"
#include "support/temp_dir.h"

namespace tarnwell::testing {

class JobFixture : public ::testing::Test {
  protected:
    JobFixture() {
        std::filesystem::create_directory(dir.path() / "HVDVD_TS");
        std::filesystem::create_directory(dir.path() / "out");
        host.workdir = out("");
    }

    std::string disc(const std::string& name) const { return dir.file("HVDVD_TS/" + name); }
    std::string out(const std::string& name) const { return dir.file("out/" + name); }

    void choose(const std::string& name) { commands.input().chooseEvo(disc(name), host); }

    // Runs a job and returns its error text, empty when it ended normally.
    template <typename Click>
    std::string run(Click click) {
        try {
            EXPECT_TRUE(click());
        } catch (const JobError& error) {
            return error.what();
        }
        return {};
    }
    std::string read() {
        return run([this] { return commands.readEvo(); });
    }
    std::string demuxJob() {
        return run([this] { return commands.bDemuxClick(); });
    }

    // The log lines from `from` on.
    std::vector<std::string> linesFrom(std::size_t from) const {
        return {sink.lines.begin() + static_cast<std::ptrdiff_t>(from), sink.lines.end()};
    }

    // Names in the output folder, sorted.
    std::vector<std::string> outputNames() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path() / "out"))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    bool anyOutputOpen() {
        auto& state = commands.state();
        for (const auto& file : state.VideoOut)
            if (file.isOpen()) return true;
        for (const auto* group : {&state.AudioOut, &state.SubOut, &state.SubPtsOut})
            for (const auto& file : *group)
                if (file.isOpen()) return true;
        return state.InFile.isOpen();
    }

    TempDir dir;
    BasicHost host;
    RecordingSink sink;
    Commands commands{sink, host};
};

}  // namespace tarnwell::testing
