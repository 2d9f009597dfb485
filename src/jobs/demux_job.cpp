// PLACEHOLDER until the job is built; replace this whole file.
#include "jobs/demux_job.h"

#include <stdexcept>

namespace tarnwell {

void bDemuxClick(JobContext&) { throw std::logic_error("not built yet"); }

}  // namespace tarnwell
