#pragma once
#include <functional>
#include <string>
#include <vector>

#include "engine/output_routing.h"
#include "engine/scan_result.h"
#include "jobs/continuation.h"
#include "jobs/job_context.h"
#include "jobs/matroska_files.h"
#include "jobs/stream_routing.h"
#include "playlist/playlist_state.h"

namespace tarnwell {

// The Demux command: creates one output file per ticked stream (two for a subpicture
// stream), runs the engine in demux mode over the input and its continuation, closes all.
// With "Matroska-ready files" the stream names come from the codes and first time stamps of
// `job.lastScan` (the last Read EVO), LPCM becomes WAV, subpictures PGS, and the chapters and
// mkvmerge option files follow from `playlist` (the last Read XPL, if any); "Make MKV with
// mkvmerge" then runs it.
void bDemuxClick(JobContext& job, const PlaylistState* playlist = nullptr);

// The title job's Demux: Matroska-ready files of every ticked stream (subpictures in PGS form)
// over all files of `clips` as one continuous output per stream, timed from `scan` (the Read
// EVO of the first file), logged as the Demux command logs them.
struct ClipsDemux {
    std::string outputBase;  // the stream files' names start with it
    ClipList& clips;
    // Writes the option files for the streams given; returns the names written.
    std::function<std::vector<std::string>(const std::vector<CreatedStream>&)> writeOptions;
    // The engine's routing over the job's own.
    std::function<OutputRouting&(StreamRouting&)> routing;
};
void demuxClips(JobContext& job, const ScanResult& scan, const ClipsDemux& plan);

}  // namespace tarnwell
