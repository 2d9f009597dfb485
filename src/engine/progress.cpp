#include "engine/progress.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tarnwell {

std::string formatTimeOfDay(double days) {
    constexpr long long kMsPerDay = 86400000LL;
    // Whole value rounded to milliseconds, then the time of day taken from it.
    const long long total = std::llround(days * static_cast<double>(kMsPerDay));
    const long long ms = std::llabs(total) % kMsPerDay;
    const long long seconds = ms / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

double remainingDays(double elapsedBefore, double elapsedAfter, std::int64_t size,
                     std::int64_t pos) {
    return elapsedBefore * static_cast<double>(size) / static_cast<double>(pos) - elapsedAfter +
           1.0 / 86400.0;
}

std::string progressText(std::string_view word, std::string_view fileName, std::int64_t pos,
                         std::int64_t size, std::string_view remaining) {
    std::string text;
    text.reserve(96);
    text += word;
    text += fileName;
    text += ' ';
    text += std::to_string(pos / kMebibyte);
    text += '/';
    text += std::to_string(size / kMebibyte);
    text += " Mbytes, Remaining time: ";
    text += remaining;
    return text;
}

std::string progressReport(std::string_view word, const InputFile& in, std::int64_t pos,
                           double start, const RunControl& run) {
    const double elapsedBefore = run.now() - start;
    const double elapsedAfter = run.now() - start;
    const double remaining = remainingDays(elapsedBefore, elapsedAfter, in.size(), pos);
    return progressText(word, fileNamePart(in.path()), pos, in.size(), formatTimeOfDay(remaining));
}

}  // namespace tarnwell
