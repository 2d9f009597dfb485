// The playlist reader over arbitrary text: the tag scanner across its blocks, the tag checks,
// the attribute lookups, the title selection and the tree. A read may end only normally or
// with a number conversion error; the playlist file is closed either way, the stream table
// holds only "no stream" and "listed" marks, every tree node and tag line is bounded by the
// playlist's size, and the attribute tables survive into the next read.
//
// Input: one control byte (bit 0: choose the EVO file FEATURE_1.EVO; bits 1..2 pick the
// number of blocks of blanks put before the text, bits 3..7 shorten them, so tags cross the
// block boundaries at many offsets), then the playlist text.

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <string>

#include "engine/engine_state.h"
#include "io/file_io.h"
#include "io/report_sink.h"
#include "fuzz_support.h"
#include "jobs/host.h"
#include "jobs/input_choice.h"
#include "jobs/job_context.h"
#include "jobs/read_xpl_job.h"
#include "playlist/playlist_state.h"
#include "selection/stream_selection.h"
#include "support/temp_dir.h"

namespace {

using namespace tarnwell;

std::size_t treeSize(const std::vector<TreeNode>& nodes, std::size_t limit) {
    std::size_t total = 0;
    for (const TreeNode& node : nodes) {
        if (node.text.size() > limit) fuzz::finding("a tree node longer than the playlist");
        total += 1 + treeSize(node.children, limit);
    }
    return total;
}

// The tables outlive a read, as they do in the program.
PlaylistState& lastingPlaylist() {
    static PlaylistState playlist;
    return playlist;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputReader input(data, size);
    const std::uint8_t control = input.byte();
    static const std::string disc = [] {
        const std::string root = fuzz::scratchFolder();
        ::mkdir((root + "/HVDVD_TS").c_str(), 0755);
        ::mkdir((root + "/ADV_OBJ").c_str(), 0755);
        testing::writeFile(root + "/HVDVD_TS/FEATURE_1.EVO", {});
        return root;
    }();
    const std::string xpl = disc + "/ADV_OBJ/VPLST000.XPL";

    const std::size_t blocks = control >> 1 & 3;
    std::string text(blocks == 0 ? 0 : blocks * 32768 - (control >> 3 & 31), ' ');
    text.append(reinterpret_cast<const char*>(input.rest()), input.restSize());
    testing::writeFile(xpl, fuzz::Bytes(text.begin(), text.end()));

    auto state = std::make_unique<EngineState>();
    StreamSelection selection;
    InputChoice choice;
    RecordingSink sink;
    BasicHost host;
    if (control & 1) choice.chooseEvo(disc + "/HVDVD_TS/FEATURE_1.EVO", host);
    choice.chooseXpl(xpl, host);
    JobContext job{*state, selection, choice, sink, host};
    PlaylistState& playlist = lastingPlaylist();

    const int filesBefore = testing::openFileCount();
    try {
        bReadXPLClick(job, playlist);
    } catch (const JobError& error) {
        const std::string what = error.what();
        if (what.find("is not a valid integer value") == std::string::npos)
            fuzz::finding("a read ended on an unexpected error: " + what);
    }
    if (testing::openFileCount() != filesBefore) fuzz::finding("the playlist file was left open");

    for (const auto* row : {&state->streamTable.VideoIds[0], &state->streamTable.AudioIds[0]})
        for (int n = 0; n < 16; ++n)
            if (row[n] != -1 && row[n] != 1) fuzz::finding("a stream table entry is not a mark");
    for (const std::int32_t entry : state->streamTable.SubIds)
        if (entry != -1 && entry != 1) fuzz::finding("a stream table entry is not a mark");

    // A tag line holds at most one tag of the text plus its indentation.
    const std::size_t bound = text.size() + (16 * text.size() + (16u << 20));
    std::size_t lines = 0;
    for (const std::string& line : playlist.tagLines) {
        if (line.size() > bound) fuzz::finding("a tag line longer than its bound");
        lines += line.size();
    }
    if (lines > bound + text.size()) fuzz::finding("the tag lines outgrew the playlist");
    // Node texts are made of a few attribute values, each from a 255-character window.
    treeSize(playlist.tree, 4096);
    return 0;
}
