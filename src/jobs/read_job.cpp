#include "jobs/read_job.h"

#include "engine/scan_loop.h"
#include "jobs/job_report.h"
#include "jobs/matroska_files.h"
#include "jobs/opened_files.h"

namespace tarnwell {

ScanResult readEvo(JobContext& job) {
    auto& state = job.state;
    job.host.setCommandEnabled(Command::ReadEvo, false);
    job.selection.Resetcbs();
    job.host.showPage(kStatusPage);
    state.FrameCount = {0, 0};
    job.sink.log("Opening file " + job.input.EVOname);
    job.sink.slog("Opening", 0);
    ScanResult found;
    {
        OpenedFiles files(state.InFile);
        state.InFile.open(job.input.evoField());
        job.sink.slog("Reading", 0);
        job.sink.log(fileSizeLine(state.InFile.size()));
        HostRunControl run(job.host);
        EngineContext engine{state, job.sink, run};
        found = runScan(ScanMode::Read, engine);
        files.close();
    }
    job.selection.FillFromStreamTable(state.streamTable);
    if (matroskaReady(job.host) && found.find(SlotKind::Video, 0)) {
        for (const auto& stream : found.streams) {
            if (stream.kind != SlotKind::Audio) continue;
            const auto line = delayLine(stream.number, audioDelayMs(found, stream.number));
            job.sink.log(line);
            job.selection.setHint(SlotKind::Audio, stream.number, line);
        }
    }
    reportDone(job.sink);
    reportFrameCounts(job.sink, state.FrameCount);
    job.host.setCommandEnabled(Command::ReadEvo, true);
    return found;
}

}  // namespace tarnwell
