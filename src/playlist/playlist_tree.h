#pragma once
// The tree of one title: its name and duration, its video, audio and subtitle tracks and its
// chapters. Listing a track also logs it, marks it in the stream table and gives its text to
// the matching stream slot.

#include <string>
#include <string_view>
#include <vector>

#include "io/report_sink.h"
#include "engine/stream_table.h"
#include "playlist/playlist_state.h"
#include "selection/stream_selection.h"

namespace tarnwell {

// Where listing a track reports to and what it marks.
struct TrackListing {
    const PlaylistState& tables;
    StreamTable& marks;
    StreamSelection& selection;
    ReportSink& sink;
};

// The highest track or stream number the marks and slots have room for.
inline constexpr int kMaxListedNumber = 16;

// The five top-level nodes "Info", "Video", "Audio", "Subtitle", "Chapter" with their children,
// built from the title's tag lines top to bottom. A track or stream number outside 1..16 has no
// mark or slot and is left out.
std::vector<TreeNode> buildTitleTree(const std::vector<std::string>& titleLines,
                                     std::string_view playlistName, TrackListing listing);

}  // namespace tarnwell
