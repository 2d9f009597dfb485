#pragma once
#include "jobs/job_context.h"
#include "rebuild/pack_rules.h"

namespace tarnwell {

// The Rebuild command: writes "<stem>.rebuilt.EVO" holding the input's packs without those
// of the unticked streams, the kept streams renumbered. `codes` tells which stream each
// code belongs to: the stream table of the last Read EVO or Demux.
void bRebuildClick(JobContext& job, const StreamTable& codes);

// One pass over `job.state.InFile` from its position to its end, appending the packs that
// `rules` keeps to `job.state.RebuildOut`: progress every 4 MiB, Cancel between packs. The
// file's full buffers go through `behind`, the job's write-behind.
void Rebuild(JobContext& job, PackRules& rules, WriteBehind& behind);

}  // namespace tarnwell
