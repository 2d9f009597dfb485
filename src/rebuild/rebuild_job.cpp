#include "rebuild/rebuild_job.h"

#include <string>

#include "engine/progress.h"
#include "rebuild/pack_copier.h"

namespace tarnwell {

namespace {

// Closes what the command opened and is still open, whatever ends it. On the normal path
// `close` runs first and reports a failed flush or close as "Stream write error".
class OpenedFiles {
  public:
    explicit OpenedFiles(EngineState& state) : state_(state) {}
    ~OpenedFiles() {
        if (output) state_.RebuildOut.closeQuietly();
        if (input) state_.InFile.close();
    }
    OpenedFiles(const OpenedFiles&) = delete;
    OpenedFiles& operator=(const OpenedFiles&) = delete;

    void close() {
        if (input) state_.InFile.close();
        input = false;
        if (output) {
            output = false;
            state_.RebuildOut.close();
        }
    }

    bool input = false;
    bool output = false;

  private:
    EngineState& state_;
};

void showProgress(JobContext& job, double start, std::int64_t pos) {
    const auto& in = job.state.InFile;
    const double elapsedBefore = job.host.now() - start;
    const double elapsedAfter = job.host.now() - start;
    const auto remaining =
        formatTimeOfDay(remainingDays(elapsedBefore, elapsedAfter, in.size(), pos));
    job.sink.slog(progressText("Rebuilding ", fileNamePart(in.path()), pos, in.size(), remaining),
                  1);
    job.host.processEvents();
}

// ---- Output stem and continuation, until the shared rules are in ----------------------

std::string outputStem(const JobContext& job) {
    const auto folder = job.host.optionText(TextOption::Workdir);
    if (folder.empty()) return job.input.EVObase;
    return folder + (folder.back() == kPathSeparator ? "" : std::string(1, kPathSeparator)) +
           job.input.EVObase;
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

void Rebuild(JobContext& job, PackRules& rules) {
    auto& state = job.state;
    job.host.setCommandEnabled(Command::Cancel, true);
    state.Demuxing = true;
    state.CancelRequested = false;
    const double start = job.host.now();
    const std::int64_t size = state.InFile.size();

    PackCopier packs(state.InFile, state.RebuildOut);
    for (;;) {
        const auto pack = packs.next();
        // A read that yields nothing ends the pass as the end of the file does.
        if (pack.empty()) break;
        const std::int64_t pos = packs.position();
        if (pos % kProgressStep == 0) showProgress(job, start, pos);
        if (rules.RebuildPack(pack.data(), pack.size())) packs.keep();
        if (pos == size || state.CancelRequested) break;
    }
    packs.flush();
    job.host.setCommandEnabled(Command::Cancel, false);
}

void bRebuildClick(JobContext& job) {
    auto& state = job.state;
    job.host.setCommandEnabled(Command::Rebuild, false);
    job.host.showPage(kStatusPage);

    std::string stem = outputStem(job);
    // One numbering for the command, carried into the continuation file.
    RenumberingState ids;
    PackRules rules(state.streamTable, job.selection, ids);

    const bool first =
        job.host.isOptionChecked(Option::Continue) && endsWith(job.input.EVOname, "_1.EVO");
    const std::string& evoField = job.input.evoField();
    const std::string next =
        evoField.substr(0, evoField.size() < 5 ? 0 : evoField.size() - 5) + "2.EVO";
    if (first && fileExists(next)) stem += "_2";

    OpenedFiles opened(state);
    job.sink.log("Opening file " + job.input.EVOname);
    job.sink.slog("Opening", 0);
    state.InFile.open(evoField);
    opened.input = true;
    job.sink.log("File size: " + std::to_string(state.InFile.size() / kMebibyte) + " Mbytes.");

    state.RebuildOut.create(stem + ".rebuilt.EVO");
    opened.output = true;
    job.sink.log("Creating " + state.RebuildOut.name());
    job.sink.slog("Writing EVO...", 0);

    Rebuild(job, rules);
    if (job.host.isOptionChecked(Option::Continue) && !state.CancelRequested && first &&
        fileExists(next)) {
        state.InFile.close();
        state.InFile.open(next);
        job.sink.log("Continue on " + std::string(fileNamePart(next)));
        Rebuild(job, rules);
    }
    opened.close();

    job.sink.log("Done.");
    job.sink.slog("Ready", 0);
    job.sink.slog("", 1);
    job.host.setCommandEnabled(Command::Rebuild, true);
}

}  // namespace tarnwell
