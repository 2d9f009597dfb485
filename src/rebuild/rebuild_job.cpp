// PLACEHOLDER until the job is built; replace this whole file.
#include "rebuild/rebuild_job.h"

#include <stdexcept>

namespace tarnwell {

void bRebuildClick(JobContext&) { throw std::logic_error("not built yet"); }

}  // namespace tarnwell
