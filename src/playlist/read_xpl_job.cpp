// PLACEHOLDER until the job is built; replace this whole file.
#include "playlist/read_xpl_job.h"

#include <stdexcept>

namespace tarnwell {

void bReadXPLClick(JobContext&, PlaylistState&) { throw std::logic_error("not built yet"); }

}  // namespace tarnwell
