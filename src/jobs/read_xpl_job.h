#pragma once
#include "jobs/job_context.h"
#include "playlist/playlist_state.h"

namespace tarnwell {

// The Read XPL command: cuts the playlist into tag lines, selects the title that plays the
// chosen EVO file, builds the tree and gives the listed tracks' texts to the stream slots.
void bReadXPLClick(JobContext& job, PlaylistState& playlist);

}  // namespace tarnwell
