#include "jobs/title_mkv_job.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

#include "io/file_io.h"
#include "jobs/demux_job.h"
#include "jobs/mkvmerge_run.h"
#include "jobs/output_naming.h"
#include "jobs/read_job.h"

namespace tarnwell {

namespace {

constexpr SlotKind kKinds[] = {SlotKind::Video, SlotKind::Audio, SlotKind::Subpicture};

std::string kindWord(SlotKind kind) {
    return kind == SlotKind::Video ? "Video" : kind == SlotKind::Audio ? "Audio" : "Subpicture";
}

// "00:01:02.500" for a time in ns.
std::string clockText(std::int64_t ns) {
    const std::int64_t ms = ns / 1000000;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld",
                  static_cast<long long>(ms / 3600000), static_cast<long long>(ms / 60000 % 60),
                  static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
    return text;
}

const TitleTrackPlan* listedTrack(const TitlePlan& title, SlotKind kind, int n) {
    if (kind == SlotKind::Video) return nullptr;
    for (const auto& track : kind == SlotKind::Audio ? title.audio : title.subtitles)
        if (track.stream == n + 1) return &track;
    return nullptr;
}

// Ticks the title's streams that the scan found: video stream 0, then the listed audio and
// subtitle streams. Each listed stream not found and each found stream not listed gets a line.
void chooseStreams(JobContext& job, const TitlePlan& title, const ScanResult& scan) {
    const auto evo = std::string(fileNamePart(title.clips.front().evoPath));
    for (const auto kind : kKinds) {
        const auto& listed = kind == SlotKind::Audio ? title.audio : title.subtitles;
        if (kind != SlotKind::Video)
            for (const auto& track : listed)
                if (!scan.find(kind, track.stream - 1))
                    job.sink.log(kindWord(kind) + " stream " + slotDigits(kind, track.stream - 1) +
                                 " of the title is not in " + evo + ": left out.");
        for (int n = 0; n < StreamSelection::slotCount(kind); ++n) {
            const bool found = scan.find(kind, n) != nullptr;
            const bool take =
                found &&
                (kind == SlotKind::Video ? n == 0 : listedTrack(title, kind, n) != nullptr);
            if (found && !take)
                job.sink.log(kindWord(kind) + " stream " + slotDigits(kind, n) + " of " + evo +
                             " is not one of the title's: left out.");
            job.selection.setChecked(kind, n, take);
        }
    }
}

// What the option file takes from the title: the chapters on the Matroska file's time line,
// which starts where the first clip does.
MatroskaTitle matroskaTitle(const TitlePlan& title) {
    MatroskaTitle mkv;
    mkv.name = title.name;
    const std::int64_t start = title.clips.front().titleBeginNs;
    for (const auto& chapter : title.chapters)
        if (chapter.startNs >= start)
            mkv.chapters.push_back({chapter.startNs - start, chapter.name});
    const auto fill = [](auto& tracks, const std::vector<TitleTrackPlan>& listed) {
        for (const auto& track : listed) {
            if (track.stream < 1 || track.stream > static_cast<int>(tracks.size())) continue;
            auto& named = tracks[static_cast<std::size_t>(track.stream - 1)];
            named.name = track.name;
            named.language = track.language.empty() ? "und" : track.language;
        }
    };
    fill(mkv.audio, title.audio);
    fill(mkv.subtitles, title.subtitles);
    return mkv;
}

void removeQuietly(const std::string& path, bool folder) {
    std::error_code ignored;
    if (folder)
        std::filesystem::remove_all(path, ignored);
    else
        std::filesystem::remove(path, ignored);
}

// One title; throws a JobError (or another exception) on a failure.
void makeTitle(JobContext& job, const TitlePlan& title, const TitleMkvOptions& options,
               const std::string& mkvmerge, TitleMkvResult& result, bool& mkvStarted) {
    if (title.clips.empty()) throw JobError("the title has no clip");
    // A missing or unreadable EVO fails the title before anything is written.
    for (const auto& clip : title.clips) {
        InputFile probe;
        probe.open(clip.evoPath);
        probe.close();
    }
    for (const auto& clip : title.clips)
        if (clip.clipBeginNs != 0)
            job.sink.log("Warning: the title plays " + std::string(fileNamePart(clip.evoPath)) +
                         " from " + clockText(clip.clipBeginNs) + " on; the whole file is taken.");
    job.input.chooseEvo(title.clips.front().evoPath, job.host);
    const ScanResult scan = readEvo(job);
    // "Fast EVO checking" ends a long read the way a stop request does; it stops nothing else.
    if (scan.cutByFastCheck) job.state.CancelRequested = false;
    if (job.state.CancelRequested) {
        result.cancelled = true;
        return;
    }
    chooseStreams(job, title, scan);
    if (options.narrow) options.narrow(job.selection);
    if (!job.selection.AnyChecked()) throw JobError("no stream of the title is chosen");

    const auto work = titleWorkFolder(options.outputDir, title.number);
    std::error_code error;
    std::filesystem::create_directory(work, error);
    if (error)
        throw FileError("Cannot create folder \"" + fullPath(work) + "\". " + error.message());

    std::vector<std::string> paths;
    std::vector<std::int64_t> offsets;
    for (const auto& clip : title.clips) {
        paths.push_back(clip.evoPath);
        offsets.push_back(clip.titleBeginNs - title.clips.front().titleBeginNs);
    }
    ClipList clips(paths);
    TitleTimeLine timeLine(clips, offsets);
    std::optional<TitleRouting> routing;
    const MatroskaTitle named = matroskaTitle(title);
    const auto base = outputBase(work, job.input.EVObase);
    const ClipsDemux plan{
        base, clips,
        [&](const std::vector<CreatedStream>& streams) {
            return writeMatroskaFiles(base, streams, &named, result.matroskaFile);
        },
        [&](StreamRouting& inner) -> OutputRouting& { return routing.emplace(inner, timeLine); }};
    demuxClips(job, scan, plan);
    result.seams = timeLine.seams();
    for (const auto& seam : result.seams) job.sink.log(seamLine(seam, job.selection));
    if (job.state.CancelRequested) {
        result.cancelled = true;
        return;
    }
    mkvStarted = true;
    runMkvmerge(mkvmerge, mkvmergeOptionFileName(base), job.state, job.sink, job.host);
    if (job.state.CancelRequested) result.cancelled = true;
}

}  // namespace

std::string seamLine(const SeamFigure& seam, const StreamSelection& selection) {
    const auto size = seam.gapMs < 0 ? -seam.gapMs : seam.gapMs;
    return "Seam " + std::to_string(seam.seam) + ", " + selection.Caption(seam.kind, seam.number) +
           (seam.gapMs < 0 ? ": overlap " : ": gap ") + std::to_string(size) + " ms.";
}

std::vector<TitleMkvResult> makeTitleMkvs(JobContext& job, const std::vector<TitlePlan>& titles,
                                          const TitleMkvOptions& options) {
    const auto mkvmerge = findOnPath("mkvmerge");
    if (mkvmerge.empty()) throw ToolError("mkvmerge not found");
    if (!options.outputDir.empty()) {
        std::error_code error;
        std::filesystem::create_directories(options.outputDir, error);
        if (error)
            throw FileError("Cannot create folder \"" + fullPath(options.outputDir) + "\". " +
                            error.message());
    }
    std::vector<std::pair<int, std::string>> names;
    for (const auto& title : titles) names.emplace_back(title.number, title.name);
    const auto files = titleFileNames(names);

    std::vector<TitleMkvResult> results;
    job.state.CancelRequested = false;
    for (std::size_t i = 0; i < titles.size() && !job.state.CancelRequested; ++i) {
        const auto& title = titles[i];
        auto& result = results.emplace_back();
        result.number = title.number;
        result.matroskaFile = titleMatroskaFile(options.outputDir, files[i]);
        job.sink.log("Title " + std::to_string(title.number) + ": " + result.matroskaFile);
        bool mkvStarted = false;
        try {
            makeTitle(job, title, options, mkvmerge, result, mkvStarted);
        } catch (const std::exception& error) {
            result.error = "Title " + std::to_string(title.number) + ": " + error.what();
            job.sink.log(result.error);
        }
        if (!result.done() && mkvStarted) removeQuietly(result.matroskaFile, false);
        if (!(result.done() && options.keepFiles))
            removeQuietly(titleWorkFolder(options.outputDir, title.number), true);
    }
    return results;
}

}  // namespace tarnwell
