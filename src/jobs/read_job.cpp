// PLACEHOLDER until the job is built; replace this whole file.
#include "jobs/read_job.h"

#include <stdexcept>

namespace tarnwell {

void bCheckClick(JobContext&) { throw std::logic_error("not built yet"); }

}  // namespace tarnwell
