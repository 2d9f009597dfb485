#pragma once
// The program's commands without a window: owns the shared state, the stream selection, the
// chosen input and the playlist state, runs one job at a time, and binds the selection's
// `cbVideoClick` rule to the Demux command. The window and the command line both drive it.

#include <memory>

#include "engine/engine_state.h"
#include "engine/scan_result.h"
#include "io/report_sink.h"
#include "jobs/host.h"
#include "jobs/input_choice.h"
#include "jobs/job_context.h"
#include "jobs/title_mkv_job.h"
#include "playlist/playlist_state.h"
#include "selection/stream_selection.h"

namespace tarnwell {

class Commands : private SelectionObserver {
  public:
    Commands(ReportSink& sink, Host& host);
    ~Commands() override;
    Commands(const Commands&) = delete;
    Commands& operator=(const Commands&) = delete;

    EngineState& state() { return *state_; }
    StreamSelection& selection() { return selection_; }
    InputChoice& input() { return input_; }
    PlaylistState& playlist() { return playlist_; }
    // What the last Read EVO that ended normally found; empty before one, and while one runs.
    // Read XPL leaves it as it is.
    const ScanResult& lastScan() const { return lastScan_; }

    // True while one of the four jobs runs (including inside its event processing).
    bool jobRunning() const { return running_; }

    // The four jobs. Each returns false, doing nothing, when another job is running.
    // A failure propagates as a JobError (FileError, PlaylistError, ToolError) after the job's
    // guarded block closed its files.
    bool readEvo();
    bool bDemuxClick();
    bool bReadXPLClick();
    bool bRebuildClick();
    // One Matroska file per title (see makeTitleMkvs); the results go into `results`.
    bool makeTitleMkvs(const std::vector<TitlePlan>& titles, const TitleMkvOptions& options,
                       std::vector<TitleMkvResult>& results);

    // Stops the running loop: at once in a read, after the host's Yes to
    // "Are you sure to stop demuxing?" while a demux or rebuild runs.
    void bCancelClick();

  private:
    template <typename Job>
    bool runJob(Job&& job);
    void cbVideoClick() override;
    JobContext context();

    ReportSink& sink_;
    Host& host_;
    std::unique_ptr<EngineState> state_;
    StreamSelection selection_;
    InputChoice input_;
    PlaylistState playlist_;
    ScanResult lastScan_;
    bool running_ = false;
};

inline constexpr const char* kCancelQuestion = "Are you sure to stop demuxing?";

}  // namespace tarnwell
