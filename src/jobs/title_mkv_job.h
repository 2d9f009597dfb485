#pragma once
// One Matroska file per title of a disc. A title is a plain value (the disc model fills it):
// its clips in playing order, the audio and subtitle streams it lists with their names and
// languages, and its chapters. Per title: a Read EVO of the first clip learns the streams,
// a Matroska-ready Demux runs over all clips as one continuous output per stream (subtitle
// times on the title's time line, see TitleTimeLine), then mkvmerge writes DIR/NAME.mkv.
// The intermediate files go into a work folder inside DIR, removed when the title ends (kept
// after a success with `keepFiles`).
//
// Errors: mkvmerge missing from PATH throws ToolError "mkvmerge not found" before any file or
// folder is made. A title whose EVO cannot be opened, or whose run fails, fails alone: its
// result holds the message ("Title N: <reason>"), no file of it stays, the next title runs.
// A stop request (Cancel) ends the run; the title then running leaves no Matroska file.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "jobs/job_context.h"
#include "jobs/title_time_line.h"
#include "playlist/matroska_title.h"

namespace tarnwell {

struct TitleClip {
    std::string evoPath;
    std::int64_t titleBeginNs = 0;  // where the clip starts on the title
    std::int64_t clipBeginNs = 0;   // where in its EVO the title starts playing it
};

struct TitleTrackPlan {
    int stream = 0;  // 1-based streamNumber
    std::string name;
    std::string language;  // empty or "und": undetermined
};

struct TitlePlan {
    int number = 0;
    std::string name;              // the title's displayName
    std::vector<TitleClip> clips;  // in playing order
    std::vector<TitleTrackPlan> audio, subtitles;
    std::vector<TitleChapter> chapters;  // on the title's time line
};

struct TitleMkvOptions {
    std::string outputDir;  // created when missing; empty: the current folder
    bool keepFiles = false;
    // Narrows the title's streams once they are ticked (--only, --drop).
    std::function<void(StreamSelection&)> narrow;
};

struct TitleMkvResult {
    int number = 0;
    std::string matroskaFile;  // DIR/NAME.mkv, whether or not it was made
    std::string error;         // empty unless the title failed
    bool cancelled = false;
    std::vector<SeamFigure> seams;
    bool done() const { return error.empty() && !cancelled; }
};

// Runs the titles one after the other, in the order given; one result per title run (titles
// after a stop request have none).
std::vector<TitleMkvResult> makeTitleMkvs(JobContext& job, const std::vector<TitlePlan>& titles,
                                          const TitleMkvOptions& options);

// The log line of a seam figure: "Seam 1, DD+.stream.00: gap 12 ms." (or "overlap 12 ms").
std::string seamLine(const SeamFigure& seam, const StreamSelection& selection);

}  // namespace tarnwell
