#include "jobs/continuation.h"

#include <utility>

#include "io/file_io.h"

namespace tarnwell {

namespace {

constexpr std::string_view kFirstPartEnding = "_1.EVO";

// The EVO field less its last five characters ("1.EVO" when the name test holds), then "2.EVO".
std::string nextPartPath(std::string_view evoPath) {
    const auto keep = evoPath.size() > 5 ? evoPath.size() - 5 : 0;
    return std::string(evoPath.substr(0, keep)) + "2.EVO";
}

}  // namespace

ContinuationStart PlanContinuation(std::string_view outputBase, std::string_view evoName,
                                   std::string_view evoPath, const Host& host) {
    ContinuationStart start{{}, std::string(outputBase)};
    if (!host.isOptionChecked(Option::Continue)) return start;
    auto& plan = start.plan;
    plan.applies = evoName.ends_with(kFirstPartEnding);
    plan.nextPath = nextPartPath(evoPath);
    if (plan.applies && fileExists(plan.nextPath)) {
        plan.suffixed = true;
        start.outputBase += "_2";
    }
    return start;
}

bool ContinueWithNext(const ContinuationPlan& plan, EngineState& state, ReportSink& sink,
                      const Host& host) {
    // The option is read again so that switching it off during the first pass stops the
    // continuation; the file is tested again because it may have come or gone meanwhile.
    if (!host.isOptionChecked(Option::Continue) || !plan.applies || !fileExists(plan.nextPath))
        return false;
    ClipList clips({state.InFile.path(), plan.nextPath});
    return clips.openNext(state, sink);
}

bool ClipList::openNext(EngineState& state, ReportSink& sink) {
    if (state.CancelRequested || current_ + 1 >= paths_.size()) return false;
    const auto& path = paths_[++current_];
    state.InFile.close();
    state.InFile.open(path);
    sink.log("Continue on " + std::string(fileNamePart(path)));
    return true;
}

}  // namespace tarnwell
