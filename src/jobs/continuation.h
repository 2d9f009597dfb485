#pragma once
// A title split over two EVO files, "..._1.EVO" and "..._2.EVO" beside it: a job decides at its
// start whether it will go on into the second file (and marks its output names with "_2"), and
// after its first pass switches its input to that file. Shared by the Demux job and the
// Rebuild command, which both run their pass again over the new input.

#include <string>
#include <string_view>

#include "engine/engine_state.h"
#include "io/report_sink.h"
#include "jobs/host.h"

namespace tarnwell {

struct ContinuationPlan {
    // The option was on at the start and the input's name ends with "_1.EVO".
    bool applies = false;
    // The next file's path; formed whenever the option was on at the start.
    std::string nextPath;
    // "_2" was appended to the output base (the rule applied and the next file existed).
    bool suffixed = false;

    bool operator==(const ContinuationPlan&) const = default;
};

struct ContinuationStart {
    ContinuationPlan plan;
    // The output base as given, with "_2" appended when `plan.suffixed`.
    std::string outputBase;
};

// Reads "Continue with second  EVO" once. `evoName` is `EVOname`, `evoPath` the EVO field's
// full text. Logs nothing.
ContinuationStart PlanContinuation(std::string_view outputBase, std::string_view evoName,
                                   std::string_view evoPath, const Host& host);

// After the first pass returned normally: when the option is still on, no stop was requested,
// the plan applies and the next file exists now, closes `state.InFile`, opens the next file as
// the new `InFile`, logs "Continue on <name>" and returns true. An open failure propagates as
// FileError with `InFile` closed.
bool ContinueWithNext(const ContinuationPlan& plan, EngineState& state, ReportSink& sink,
                      const Host& host);

}  // namespace tarnwell
