#include "cli/cli_session.h"

#include <algorithm>
#include <exception>
#include <string>

#include "cli/interrupt.h"
#include "cli/mkv_report.h"
#include "cli/playlist_export.h"
#include "cli/read_json.h"
#include "cli/titles_output.h"
#include "disc/disc_model.h"
#include "disc/title_summary.h"
#include "io/report_sink.h"
#include "jobs/commands.h"
#include "jobs/disc_titles.h"
#include "jobs/host.h"

namespace tarnwell::cli {

namespace {

constexpr SlotKind kSlotKinds[] = {SlotKind::Video, SlotKind::Audio, SlotKind::Subpicture};

bool listed(const std::vector<SlotRef>& slots, SlotKind kind, int n) {
    for (const auto& slot : slots)
        if (slot.first == kind && slot.second == n) return true;
    return false;
}

void applyHost(const CliRequest& request, BasicHost& host) {
    host.workdir = request.outputDir;
    host.videoExt = request.videoExt;
    host.audioExt = request.audioExt;
    host.subExt = request.subExt;
    host.continueWithNext = request.continueWithNext;
    host.fastCheck = request.fastCheck;
    host.countFrames = request.countFrames;
    host.subpictures = request.subpictures;
    host.matroskaReady = request.matroskaReady;
    host.makeMkv = request.makeMkv;
    // There is no one to ask: an interrupt is the answer Yes to the Cancel question.
    host.confirmAnswer = true;
}

void untickSlots(const CliRequest& request, StreamSelection& selection) {
    for (const auto kind : kSlotKinds) {
        for (int n = 0; n < StreamSelection::slotCount(kind); ++n) {
            const bool keep = !request.only || listed(*request.only, kind, n);
            if (!keep || listed(request.drop, kind, n)) selection.setChecked(kind, n, false);
        }
    }
}

// With --json the log lines are left out; the live progress line stays where it was.
class ProgressOnlySink : public ReportSink {
  public:
    explicit ProgressOnlySink(ConsoleSink& console) : console_(console) {}
    void log(std::string_view) override {}
    void slog(std::string_view text, std::uint8_t panel) override { console_.slog(text, panel); }

  private:
    ConsoleSink& console_;
};

class Session {
  public:
    Session(const CliRequest& request, std::FILE* out, std::FILE* err, bool showProgress)
        : request_(request),
          out_(out),
          err_(err),
          sink_(out, showProgress ? err : nullptr),
          progressOnly_(sink_),
          commands_(request.json ? static_cast<ReportSink&>(progressOnly_) : sink_, host_) {
        applyHost(request, host_);
        host_.onProcessEvents = [this] {
            if (interruptRequested()) commands_.bCancelClick();
        };
    }

    int run() {
        auto& input = commands_.input();
        switch (request_.subcommand) {
            case Subcommand::Read:
                input.chooseEvo(request_.input, host_);
                // An interrupted read writes no document: it would look like a whole one.
                if (job([this] { return commands_.readEvo(); }) && request_.json)
                    writeReadJson();
                else if (request_.json && status_ == kExitOk && interruptRequested())
                    interrupted();
                break;
            case Subcommand::Demux:
            case Subcommand::Rebuild:
                input.chooseEvo(request_.input, host_);
                if (!job([this] { return commands_.readEvo(); })) break;
                if (request_.xpl) {
                    input.chooseXpl(*request_.xpl, host_);
                    if (!job([this] { return commands_.bReadXPLClick(); })) break;
                }
                untickSlots(request_, commands_.selection());
                if (request_.subcommand == Subcommand::Demux)
                    job([this] { return commands_.bDemuxClick(); });
                else
                    job([this] { return commands_.bRebuildClick(); });
                break;
            case Subcommand::Xpl:
                if (request_.evo) input.chooseEvo(*request_.evo, host_);
                input.chooseXpl(request_.input, host_);
                if (!job([this] { return commands_.bReadXPLClick(); })) break;
                untickSlots(request_, commands_.selection());
                writePlaylistViews();
                break;
            case Subcommand::Titles:
                writeTitles();
                break;
            case Subcommand::Mkv:
                makeMkvs();
                break;
        }
        sink_.finishProgress();
        return status_;
    }

  private:
    // Runs one job; false when the session must stop (an error, or an interrupt before or
    // during the job).
    template <typename Click>
    bool job(Click click) {
        if (interruptRequested()) return false;
        try {
            if (!click()) fail("A job is already running.");
        } catch (const std::exception& error) {
            fail(error.what());
        }
        return status_ == kExitOk && !interruptRequested();
    }

    void fail(const std::string& text) {
        sink_.finishProgress();
        std::fprintf(err_, "%s\n", text.c_str());
        std::fflush(err_);
        status_ = kExitJobError;
    }

    void interrupted() {
        sink_.finishProgress();
        std::fputs("Interrupted: no JSON document written.\n", err_);
        std::fflush(err_);
        status_ = kExitInterrupted;
    }

    void writePlaylistViews() {
        const auto& playlist = commands_.playlist();
        try {
            if (request_.tags) writeTextFile(*request_.tags, tagLinesText(playlist.tagLines));
            if (request_.tree) writeTextFile(*request_.tree, treeText(playlist.tree));
        } catch (const std::exception& error) {
            fail(error.what());
        }
    }

    // No job runs: the disc model is read and printed, or its one-line error goes to `err_`.
    void writeTitles() {
        std::string text;
        try {
            const auto disc = disc::openDisc(request_.input, request_.playlist);
            text = request_.json ? titlesJsonText(disc) : titlesText(disc);
        } catch (const std::exception& error) {
            fail(error.what());
            return;
        }
        if (std::fputs(text.c_str(), out_) == EOF || std::fflush(out_) != 0)
            fail("Cannot write the titles to standard output.");
    }

    // The titles the command line names, in title-number order: every one with --all, those
    // of --title, else the longest complete one. Empty after a failure.
    std::vector<TitlePlan> chosenTitles(const disc::Disc& disc) {
        std::vector<TitlePlan> plans;
        if (request_.titles.empty() && !request_.allTitles) {
            const auto* longest = disc::longestCompleteTitle(disc);
            if (!longest)
                fail("No title of the disc has all its EVO files.");
            else
                plans.push_back(titlePlan(disc, *longest));
            return plans;
        }
        for (const auto& number : request_.titles) {
            bool found = false;
            for (const auto& title : disc.titles) found = found || title.number == number;
            if (!found) {
                fail("The disc has no title " + std::to_string(number) + ".");
                return {};
            }
        }
        std::vector<const disc::Title*> titles;
        for (const auto& title : disc.titles) {
            bool chosen = request_.allTitles;
            for (const auto& number : request_.titles) chosen = chosen || title.number == number;
            if (chosen) titles.push_back(&title);
        }
        std::stable_sort(titles.begin(), titles.end(),
                         [](const auto* a, const auto* b) { return a->number < b->number; });
        for (const auto* title : titles) plans.push_back(titlePlan(disc, *title));
        return plans;
    }

    // One Matroska file per chosen title. A title that fails is named on standard error and
    // the others still run; the status is then 1.
    void makeMkvs() {
        disc::Disc disc;
        try {
            disc = disc::openDisc(request_.input, request_.playlist);
        } catch (const std::exception& error) {
            fail(error.what());
            return;
        }
        const auto plans = chosenTitles(disc);
        if (plans.empty()) return;
        TitleMkvOptions options{
            request_.outputDir, request_.keepFiles,
            [this](StreamSelection& selection) { untickSlots(request_, selection); }};
        std::vector<TitleMkvResult> results;
        if (!job([&] { return commands_.makeTitleMkvs(plans, options, results); }) &&
            status_ != kExitOk)
            return;
        bool cancelled = false;
        for (const auto& result : results) {
            cancelled = cancelled || result.cancelled;
            if (!result.error.empty()) fail(result.error);
        }
        if (request_.json) {
            sink_.finishProgress();
            const auto text = mkvReportJson(disc, results);
            if (std::fputs(text.c_str(), out_) == EOF || std::fflush(out_) != 0)
                fail("Cannot write the JSON document to standard output.");
        }
        if (cancelled || interruptRequested()) {
            sink_.finishProgress();
            std::fputs("Interrupted: the unfinished Matroska file was removed.\n", err_);
            std::fflush(err_);
            status_ = kExitInterrupted;
        }
    }

    void writeReadJson() {
        sink_.finishProgress();
        const auto text = readJsonText(request_.input, commands_.lastScan(),
                                       commands_.state().FrameCount, commands_.selection());
        if (std::fputs(text.c_str(), out_) == EOF || std::fflush(out_) != 0)
            fail("Cannot write the JSON document to standard output.");
    }

    const CliRequest& request_;
    std::FILE* out_;
    std::FILE* err_;
    ConsoleSink sink_;
    ProgressOnlySink progressOnly_;
    BasicHost host_;
    Commands commands_;
    int status_ = kExitOk;
};

}  // namespace

int runSession(const CliRequest& request, std::FILE* out, std::FILE* err, bool showProgress) {
    Session session(request, out, err, showProgress);
    return session.run();
}

}  // namespace tarnwell::cli
