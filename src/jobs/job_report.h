#pragma once
// Log lines and status texts that several jobs share word for word.

#include <array>
#include <cstdint>
#include <string>

#include "io/report_sink.h"
#include "formats/slot_limits.h"

namespace tarnwell {

// "File size: <whole mebibytes> Mbytes."
std::string fileSizeLine(std::int64_t bytes);

// The normal end of a job: "Done.", then "Ready" on panel 0 and an empty panel 1.
void reportDone(ReportSink& sink);

// "<n> frames count in video stream <i>." for each counter above 0.
void reportFrameCounts(ReportSink& sink, const std::array<std::int32_t, kVideoOutputs>& frameCount);

}  // namespace tarnwell
