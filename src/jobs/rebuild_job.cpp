#include "jobs/rebuild_job.h"

#include "engine/progress.h"
#include "jobs/continuation.h"
#include "jobs/job_report.h"
#include "jobs/opened_files.h"
#include "jobs/output_naming.h"
#include "rebuild/pack_copier.h"
#include "rebuild/pack_rules.h"

namespace tarnwell {

void Rebuild(JobContext& job, PackRules& rules, WriteBehind& behind) {
    auto& state = job.state;
    HostRunControl run(job.host);
    run.setCancelEnabled(true);
    state.Demuxing = true;
    state.CancelRequested = false;
    const double start = run.now();
    const std::int64_t size = state.InFile.size();

    // The rebuilt file is written from the job's second thread, flushed before every progress
    // report and at the end.
    WriteBehind::Pass pass(&behind);
    PackCopier packs(state.InFile, state.ReadBuf, state.RebuildOut);
    for (;;) {
        const auto pack = packs.next();
        // A read that yields nothing ends the pass as the end of the file does.
        if (pack.empty()) break;
        const std::int64_t pos = packs.position();
        if (pos % kProgressStep == 0) {
            behind.flush();
            job.sink.slog(progressReport("Rebuilding ", state.InFile, pos, start, run), 1);
            run.processEvents();
        }
        if (rules.RebuildPack(pack.data(), pack.size())) packs.keep();
        if (pos == size || state.CancelRequested) break;
    }
    packs.flush();
    behind.flush();
    run.setCancelEnabled(false);
}

void bRebuildClick(JobContext& job, const StreamTable& codes) {
    auto& state = job.state;
    job.host.setCommandEnabled(Command::Rebuild, false);
    job.host.showPage(kStatusPage);
    const auto base = outputBase(job.host.optionText(TextOption::Workdir), job.input.EVObase);
    // One numbering for the command, carried into the continuation file.
    RenumberingState ids;
    PackRules rules(codes, job.selection, ids);
    const auto start = PlanContinuation(base, job.input.EVOname, job.input.evoField(), job.host);
    job.sink.log("Opening file " + job.input.EVOname);
    job.sink.slog("Opening", 0);
    {
        OpenedFiles files(state.InFile);
        state.InFile.open(job.input.evoField());
        job.sink.log(fileSizeLine(state.InFile.size()));
        state.RebuildOut.create(rebuiltFileName(start.outputBase));
        files.add(state.RebuildOut);
        job.sink.log("Creating " + state.RebuildOut.name());
        job.sink.slog("Writing EVO...", 0);
        Rebuild(job, rules, files.writeBehind());
        if (ContinueWithNext(start.plan, state, job.sink, job.host))
            Rebuild(job, rules, files.writeBehind());
        files.close();
    }
    reportDone(job.sink);
    job.host.setCommandEnabled(Command::Rebuild, true);
}

}  // namespace tarnwell
