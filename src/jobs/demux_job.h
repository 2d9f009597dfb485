#pragma once
#include "engine/scan_result.h"
#include "jobs/job_context.h"
#include "playlist/playlist_state.h"

namespace tarnwell {

// The Demux command: creates one output file per ticked stream (two for a subpicture
// stream), runs the engine in demux mode over the input and its continuation, closes all.
// With "Matroska-ready files" the stream names come from the codes and first time stamps of
// `job.lastScan` (the last Read EVO), LPCM becomes WAV, subpictures PGS, and the chapters and
// mkvmerge option files follow from `playlist` (the last Read XPL, if any); "Make MKV with
// mkvmerge" then runs it.
void bDemuxClick(JobContext& job, const PlaylistState* playlist = nullptr);

}  // namespace tarnwell
