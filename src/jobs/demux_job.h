#pragma once
#include "jobs/job_context.h"

namespace tarnwell {

// The Demux command: creates one output file per ticked stream (two for a subpicture
// stream), runs the engine in demux mode over the input and its continuation, closes all.
void bDemuxClick(JobContext& job);

}  // namespace tarnwell
