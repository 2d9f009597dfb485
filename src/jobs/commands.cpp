#include "jobs/commands.h"

#include "jobs/demux_job.h"
#include "jobs/read_job.h"
#include "jobs/read_xpl_job.h"
#include "jobs/rebuild_job.h"

namespace tarnwell {

Commands::Commands(ReportSink& sink, Host& host)
    : sink_(sink), host_(host), state_(std::make_unique<EngineState>()) {
    selection_.addObserver(this);
}

Commands::~Commands() {
    selection_.removeObserver(this);
}

JobContext Commands::context() {
    return JobContext{*state_, selection_, input_, sink_, host_, &lastScan_};
}

template <typename Job>
bool Commands::runJob(Job&& job) {
    // All jobs share the input file, the block buffer, the output slots and the stream
    // table, so a job started from the event processing of another one is refused.
    if (running_) return false;
    running_ = true;
    struct Release {
        bool& flag;
        ~Release() { flag = false; }
    } release{running_};
    job();
    return true;
}

bool Commands::readEvo() {
    return runJob([this] {
        auto job = context();
        lastScan_ = {};
        lastScan_ = tarnwell::readEvo(job);
    });
}

bool Commands::bDemuxClick() {
    return runJob([this] {
        auto job = context();
        tarnwell::bDemuxClick(job, &playlist_);
    });
}

bool Commands::bReadXPLClick() {
    return runJob([this] {
        auto job = context();
        tarnwell::bReadXPLClick(job, playlist_);
    });
}

bool Commands::bRebuildClick() {
    return runJob([this] {
        auto job = context();
        tarnwell::bRebuildClick(job, state_->streamTable);
    });
}

bool Commands::makeTitleMkvs(const std::vector<TitlePlan>& titles, const TitleMkvOptions& options,
                             std::vector<TitleMkvResult>& results) {
    return runJob([&] {
        // The titles are read through the same input, selection and stream table as Read EVO;
        // what the user had chosen there comes back when the run ends, however it ends, so a
        // Demux or Rebuild afterwards works on the EVO and the streams the window shows.
        struct Restore {
            Commands& commands;
            InputChoice input;
            StreamSelection selection;
            StreamTable table;
            ScanResult scan;
            ~Restore() {
                commands.input_.restore(input, commands.host_);
                commands.selection_.restore(selection);
                commands.state_->streamTable = table;
                commands.lastScan_ = std::move(scan);
            }
        } restore{*this, input_, selection_, state_->streamTable, lastScan_};
        auto job = context();
        lastScan_ = {};
        results = tarnwell::makeTitleMkvs(job, titles, options);
    });
}

void Commands::bCancelClick() {
    if (!state_->Demuxing) {
        state_->CancelRequested = true;
        return;
    }
    if (host_.confirm(kCancelQuestion)) state_->CancelRequested = true;
}

void Commands::cbVideoClick() {
    host_.setCommandEnabled(Command::Demux, selection_.AnyChecked());
}

}  // namespace tarnwell
