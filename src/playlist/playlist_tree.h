#pragma once
// The tree of one title: its name and duration, its video, audio and subtitle tracks and its
// chapters. Listing a track also logs it, marks it as listed and names the stream slot it
// fills; the caller applies those to the selection.

#include <string>
#include <string_view>
#include <vector>

#include "formats/slot_limits.h"
#include "io/report_sink.h"
#include "playlist/playlist_state.h"

namespace tarnwell {

// Where listing a track takes its attribute texts from and reports to.
struct TrackListing {
    const PlaylistState& tables;
    ReportSink& sink;
};

// A slot that a listed track fills, with the text its check box takes.
struct ListedSlot {
    SlotKind kind;
    int number;
    std::string text;
    bool operator==(const ListedSlot&) const = default;
};

struct TitleTree {
    // The five top-level nodes "Info", "Video", "Audio", "Subtitle", "Chapter".
    std::vector<TreeNode> nodes;
    ListedTracks listed;
    // In the order listed. Only the first video track has a slot of its own.
    std::vector<ListedSlot> slots;
};

// Built from the title's tag lines top to bottom. A track or stream number outside 1..16 has
// no mark or slot and is left out.
TitleTree buildTitleTree(const std::vector<std::string>& titleLines, std::string_view playlistName,
                         TrackListing listing);

}  // namespace tarnwell
