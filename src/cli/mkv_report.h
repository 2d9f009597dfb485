#pragma once
// What `mkv --json` prints: per title run, its Matroska file, how it ended and the seams
// between its clips.

#include <string>
#include <vector>

#include "disc/disc_model.h"
#include "jobs/title_mkv_job.h"

namespace tarnwell::cli {

// One document: "titles", each with "number", "name", "file", "status" ("made", "failed" or
// "cancelled"), "error" (null unless failed) and "seams" ("seam", "slot", "gap_ms": negative
// for an overlap).
std::string mkvReportJson(const disc::Disc& disc, const std::vector<TitleMkvResult>& results);

}  // namespace tarnwell::cli
