#include "jobs/job_report.h"

#include "engine/progress.h"

namespace tarnwell {

std::string fileSizeLine(std::int64_t bytes) {
    return "File size: " + std::to_string(bytes / kMebibyte) + " Mbytes.";
}

void reportDone(ReportSink& sink) {
    sink.log("Done.");
    sink.slog("Ready", 0);
    sink.slog("", 1);
}

void reportFrameCounts(ReportSink& sink,
                       const std::array<std::int32_t, kVideoOutputs>& frameCount) {
    for (std::size_t n = 0; n < frameCount.size(); ++n)
        if (frameCount[n] > 0)
            sink.log(std::to_string(frameCount[n]) + " frames count in video stream " +
                     std::to_string(n) + ".");
}

}  // namespace tarnwell
