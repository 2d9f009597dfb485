#pragma once
#include "jobs/job_context.h"

namespace tarnwell {

// The Rebuild command: writes "<stem>.rebuilt.EVO" holding the input's packs without those
// of the unticked streams, the kept streams renumbered.
void bRebuildClick(JobContext& job);

}  // namespace tarnwell
