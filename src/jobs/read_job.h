#pragma once
#include "engine/scan_result.h"
#include "jobs/job_context.h"

namespace tarnwell {

// The Read EVO command: scans the EVO file of the EVO field in read mode and fills the
// stream selection from the stream table. Returns what the scan found.
ScanResult readEvo(JobContext& job);

}  // namespace tarnwell
