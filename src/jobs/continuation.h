#pragma once
// A title played from several EVO files one after another: a job runs its pass over each file
// of the clip list in turn, switching its input between the passes. The Demux job and the
// Rebuild command know one such list, "..._1.EVO" followed by "..._2.EVO" beside it: they
// decide at their start whether they will go on into the second file (and mark their output
// names with "_2"). The title job takes the clip list of a playlist title, whatever the files
// are called.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/engine_state.h"
#include "io/report_sink.h"
#include "jobs/host.h"

namespace tarnwell {

// The EVO files of one input, in playing order; the job opens the first itself.
class ClipList {
  public:
    explicit ClipList(std::vector<std::string> paths) : paths_(std::move(paths)) {}
    // After a pass that returned normally: when no stop was requested and a file follows,
    // closes `state.InFile`, opens the next file as the new `InFile`, logs "Continue on
    // <name>" and returns true. An open failure propagates as FileError with `InFile` closed.
    bool openNext(EngineState& state, ReportSink& sink);
    // The file in `InFile` now: 0 for the first.
    std::size_t current() const { return current_; }
    const std::vector<std::string>& paths() const { return paths_; }

  private:
    std::vector<std::string> paths_;
    std::size_t current_ = 0;
};

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

// After the first pass returned normally: when the option is still on, the plan applies and the
// next file exists now, goes on into it as `ClipList::openNext` does, over the clip list of
// the input and the next file.
bool ContinueWithNext(const ContinuationPlan& plan, EngineState& state, ReportSink& sink,
                      const Host& host);

}  // namespace tarnwell
