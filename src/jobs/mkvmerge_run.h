#pragma once
// Running mkvmerge on the option file of a Matroska-ready Demux, for "Make MKV with mkvmerge".
// The program itself never needs mkvmerge: it is looked for on PATH only when asked for.

#include <string>
#include <string_view>

#include "engine/engine_state.h"
#include "io/file_error.h"
#include "io/report_sink.h"
#include "jobs/host.h"

namespace tarnwell {

// mkvmerge could not be found or run, or it failed.
class ToolError : public JobError {
  public:
    using JobError::JobError;
};

// The first executable `program` in the folders of PATH; empty when there is none.
std::string findOnPath(std::string_view program);

// Runs `mkvmerge --ui-language en_US @optionFile` (English, so that its lines can be read):
// its progress goes to status panel 1, its warnings and its closing line to the log. The
// Cancel command stops it. Exit 0 and 1 (warnings) end normally; anything else throws
// ToolError with mkvmerge's message.
void runMkvmerge(const std::string& mkvmerge, const std::string& optionFile, EngineState& state,
                 ReportSink& sink, Host& host);

}  // namespace tarnwell
