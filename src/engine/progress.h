#pragma once
// The progress text of the long loops and its remaining-time estimate.

#include <cstdint>
#include <string>
#include <string_view>

#include "io/file_io.h"
#include "engine/run_control.h"

namespace tarnwell {

inline constexpr std::int64_t kMebibyte = 1048576;
// The loops report progress, and let events run, whenever the position is a multiple of this.
inline constexpr std::int64_t kProgressStep = 0x400000;

// A time of day as hours, two-digit minutes and two-digit seconds ("0:21:07"); a value of a
// day or more wraps around. `days` is rounded to the millisecond first.
std::string formatTimeOfDay(double days);

// Estimated total time minus elapsed time, plus one second, in days:
// E1 * size / pos - E2 + 1/86400, with E1 and E2 the elapsed time read just before and just
// after the division. `pos` must be above 0.
double remainingDays(double elapsedBefore, double elapsedAfter, std::int64_t size,
                     std::int64_t pos);

// "<word><file name> <pos MiB>/<size MiB> Mbytes, Remaining time: <H:MM:SS>"
// `word` carries its own trailing blank ("Reading ", "Demuxing ", "Rebuilding ").
std::string progressText(std::string_view word, std::string_view fileName, std::int64_t pos,
                         std::int64_t size, std::string_view remaining);

// The progress text of a loop over `in` at `pos`, for a run that started at `start` (days):
// the remaining time is estimated from the clock read twice, before and after the division.
std::string progressReport(std::string_view word, const InputFile& in, std::int64_t pos,
                           double start, const RunControl& run);

}  // namespace tarnwell
