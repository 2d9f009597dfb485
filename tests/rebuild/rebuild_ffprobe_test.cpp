// An independent reader of program streams agrees with the rebuild: ffprobe (Debian's
// ffmpeg, used only here) lists the kept streams under their new ids and not the dropped one.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <tuple>

#include "jobs/read_job.h"
#include "rebuild_rig.h"

namespace tarnwell::testing {
namespace {

namespace fs = std::filesystem;

std::string findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const auto candidate = fs::path(folder.empty() ? "." : folder) / name;
        std::error_code ignored;
        if (fs::is_regular_file(candidate, ignored) &&
            (fs::status(candidate, ignored).permissions() & fs::perms::owner_exec) !=
                fs::perms::none)
            return candidate.string();
    }
    return {};
}

// (id, codec type, codec name) of every stream ffprobe finds, as "0xc0,audio,ac3".
std::set<std::string> probeStreams(const std::string& ffprobe, const std::string& file) {
    const std::string command = "'" + ffprobe +
                                "' -v error -show_entries stream=id,codec_type,codec_name"
                                " -of csv=p=0 '" +
                                file + "' 2>/dev/null";
    std::set<std::string> streams;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return streams;
    char line[256];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        // Fields come in ffprobe's own order (codec_name, codec_type, id); put the id first.
        std::stringstream fields(text);
        std::string name, type, id;
        std::getline(fields, name, ',');
        std::getline(fields, type, ',');
        std::getline(fields, id, ',');
        streams.insert(id + "," + type + "," + name);
    }
    EXPECT_EQ(::pclose(pipe), 0) << command;
    return streams;
}

// VC-1, DD+ 0xC0, DD 0x81, DD+ 0xC2 and subpicture 0x21, interleaved as on a disc, with a
// navigation pack every tenth round.
Bytes sampleLikeTitle() {
    fixture::PackWriter writer;
    writer.navPack(3, 1);
    const auto video = fixture::vc1Frames(200, 3000, 5);
    std::size_t at = 0;
    for (std::uint32_t round = 0; at < video.size(); ++round) {
        const std::uint64_t pts = 90000 + round * 3003;
        const auto take = std::min<std::size_t>(8000, video.size() - at);
        writer.write(StreamRef::vc1(0), std::span(video).subspan(at, take), pts);
        at += take;
        writer.write(StreamRef::ddplus(0), fixture::randomPayload(1500, round + 10), pts);
        writer.write(StreamRef::dd(1), fixture::randomPayload(1500, round + 20), pts);
        writer.write(StreamRef::ddplus(2), fixture::randomPayload(1500, round + 30), pts);
        if (round % 4 == 0)
            writer.write(StreamRef::sub(1), fixture::randomPayload(600, round), pts);
        if (round % 10 == 9) writer.navPack(3, 1);
    }
    return writer.take();
}

TEST(RebuildCrossCheck, FfprobeSeesTheDroppedStreamGoneAndTheOthersRenumbered) {
    const auto ffprobe = findProgram("ffprobe");
    if (ffprobe.empty())
        GTEST_SKIP() << "ffprobe not found on PATH; install Debian's ffmpeg package to run this "
                        "cross-check with an independent reader";

    RebuildRig rig;
    const auto input = rig.chooseInput("FEATURE_1.EVO", sampleLikeTitle());
    rig.host.workdir = rig.dir.path().string();
    // Read EVO fills the table and ticks every stream found; the user unticks DD+ 0xC0.
    auto job = rig.context();
    readEvo(job);
    ASSERT_EQ(rig.state->streamTable.AudioIds[0], 0xC0);
    rig.selection.click(SlotKind::Audio, 0);
    ASSERT_FALSE(rig.selection.IsChecked(SlotKind::Audio, 0));

    ASSERT_EQ(probeStreams(ffprobe, input),
              (std::set<std::string>{"0xfd55,video,vc1", "0xc0,audio,ac3", "0x81,audio,ac3",
                                     "0xc2,audio,ac3", "0x21,subtitle,dvd_subtitle"}));

    rig.run();

    EXPECT_EQ(probeStreams(ffprobe, rig.dir.file("FEATURE_1.rebuilt.EVO")),
              (std::set<std::string>{"0xfd55,video,vc1", "0x80,audio,ac3", "0xc1,audio,ac3",
                                     "0x20,subtitle,dvd_subtitle"}));
}

}  // namespace
}  // namespace tarnwell::testing
