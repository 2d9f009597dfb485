#include "jobs/demux_job.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "engine/scan_loop.h"
#include "formats/codec_table.h"
#include "jobs/continuation.h"
#include "jobs/job_report.h"
#include "jobs/matroska_files.h"
#include "jobs/mkvmerge_run.h"
#include "jobs/opened_files.h"
#include "jobs/output_naming.h"
#include "jobs/stream_routing.h"
#include "jobs/subpicture_output.h"

namespace tarnwell {

namespace {

// Two slots whose names lead to one file (equal captions from a playlist, or "pts" as the
// subpicture extension) would write over each other. Where files are opened without sharing
// the second create fails because the first holds the file; here it fails the same way.
class SameFileGuard {
  public:
    void check(const std::string& name, OutputFile& file) {
        struct stat info {};
        if (::stat(name.c_str(), &info) != 0) return;
        const std::pair<dev_t, ino_t> id{info.st_dev, info.st_ino};
        for (const auto& created : created_) {
            if (created != id) continue;
            file.closeQuietly();
            throw FileError("Cannot create file \"" + fullPath(name) + "\". " +
                            std::strerror(EBUSY));
        }
        created_.push_back(id);
    }

  private:
    std::vector<std::pair<dev_t, ino_t>> created_;
};

// With "Matroska-ready files": the scan that names the codecs and delays, the files created,
// and the WAV writers of the LPCM slots.
struct MatroskaPlan {
    const ScanResult& scan;
    std::vector<CreatedStream> streams;
    std::vector<std::unique_ptr<LpcmWavOutput>> wavOutputs;
};

// Creates the files of every box ticked now, in box order, and logs each stream file's name
// as formed. The set of files is fixed here for the whole job. A subpicture stream gets its
// time-stamp file only in the raw form.
void createOutputs(JobContext& job, const std::string& base, OpenedFiles& files,
                   bool withTimeStamps, MatroskaPlan* matroska) {
    auto& state = job.state;
    SameFileGuard sameFile;
    const auto fileName = [&](SlotKind kind, int n, TextOption extension) {
        const auto caption = job.selection.Caption(kind, n);
        const auto field = job.host.optionText(extension);
        if (!matroska) return streamFileName(base, caption, field);
        const FoundStream* found = matroska->scan.find(kind, n);
        const auto codec = kind == SlotKind::Subpicture ? kPgsExtension
                           : found                      ? codecExtension(kind, found->code)
                                                        : std::string_view{};
        const auto delay = kind == SlotKind::Audio ? audioDelayMs(matroska->scan, n) : 0;
        auto name = delayedStreamFileName(base, caption, delay, codec.empty() ? field : codec);
        matroska->streams.push_back({kind, n, name, delay});
        return name;
    };
    const auto createStream = [&](SlotKind kind, int n, TextOption extension, OutputFile& slot) {
        const auto name = fileName(kind, n, extension);
        slot.create(name);
        files.add(slot);
        sameFile.check(name, slot);
        return name;
    };
    for (int n = 0; n < static_cast<int>(state.VideoOut.size()); ++n) {
        if (!job.selection.IsChecked(SlotKind::Video, n)) continue;
        job.sink.log("Creating " +
                     createStream(SlotKind::Video, n, TextOption::VideoExt, state.VideoOut[n]));
    }
    for (int n = 0; n < static_cast<int>(state.AudioOut.size()); ++n) {
        if (!job.selection.IsChecked(SlotKind::Audio, n)) continue;
        job.sink.log("Creating " +
                     createStream(SlotKind::Audio, n, TextOption::AudioExt, state.AudioOut[n]));
    }
    for (int n = 0; n < static_cast<int>(state.SubOut.size()); ++n) {
        if (!job.selection.IsChecked(SlotKind::Subpicture, n)) continue;
        const auto name =
            createStream(SlotKind::Subpicture, n, TextOption::SubExt, state.SubOut[n]);
        if (!withTimeStamps) {
            job.sink.log("Creating " + name);
            continue;
        }
        const auto ptsName = ptsFileName(base, job.selection.Caption(SlotKind::Subpicture, n));
        state.SubPtsOut[n].create(ptsName);
        files.addLast(state.SubPtsOut[n]);
        sameFile.check(ptsName, state.SubPtsOut[n]);
        job.sink.log("Creating " + name);
    }
}

// What differs between the Demux command and the title job around the shared passes.
struct PassSetup {
    const std::string& firstPath;  // opened first
    const std::string& outputBase;
    SubpictureForm subpictureForm;
    // After each pass that ended normally: switches the input to the next file, or false.
    std::function<bool(ReportSink&)> next;
    // The option files of the Matroska streams (with `matroska`); returns the names written.
    std::function<std::vector<std::string>(const std::vector<CreatedStream>&)> writeOptions;
    // The engine's routing over the job's own, or nullptr for the job's own.
    const std::function<OutputRouting&(StreamRouting&)>* routing = nullptr;
};

// Opens the first input, creates the outputs, runs the passes over every input and closes all;
// with `matroska`, writes the option files and writes them again without the streams that no
// reader finds.
void demuxPasses(JobContext& job, const ScanResult& scan, const PassSetup& setup,
                 MatroskaPlan* matroska) {
    auto& state = job.state;
    {
        OpenedFiles files(state.InFile);
        state.InFile.open(setup.firstPath);
        job.sink.log(fileSizeLine(state.InFile.size()));
        createOutputs(job, setup.outputBase, files, setup.subpictureForm == SubpictureForm::Raw,
                      matroska);
        StreamRouting routing(job.selection, state);
        SubpictureOutputs subpictures(setup.subpictureForm, &scan,
                                      [&job](std::string_view line) { job.sink.log(line); });
        if (setup.subpictureForm != SubpictureForm::Raw)
            for (int n = 0; n < static_cast<int>(state.SubOut.size()); ++n)
                if (state.SubOut[n].isOpen())
                    subpictures.add(n, state.SubOut[n],
                                    job.selection.Caption(SlotKind::Subpicture, n), routing);
        // The other lines of the pass wait for the subpicture units taken before them.
        ReportSink& sink = subpictures.orderedSink(job.sink);
        if (matroska) {
            for (const auto& stream : matroska->streams) {
                const FoundStream* found = scan.find(stream.kind, stream.number);
                if (stream.kind != SlotKind::Audio || !found || !isLpcmCode(found->code)) continue;
                auto& out = matroska->wavOutputs.emplace_back(std::make_unique<LpcmWavOutput>(
                    state.AudioOut[stream.number], sink,
                    job.selection.Caption(SlotKind::Audio, stream.number)));
                routing.setOutput(SlotKind::Audio, stream.number, out.get());
            }
            for (const auto& name : setup.writeOptions(matroska->streams))
                job.sink.log("Creating " + name);
        }
        // Subpicture streams 16..31 have a place in the table but no check box.
        if (matroska || setup.subpictureForm != SubpictureForm::Raw)
            for (const auto& stream : scan.streams)
                if (stream.number >= StreamSelection::slotCount(stream.kind))
                    job.sink.log("Subpicture stream " + std::to_string(stream.number) +
                                 " has no check box: it cannot be chosen and is not written.");
        job.sink.slog("Writing stream(s)", 0);
        HostRunControl run(job.host);
        OutputRouting& engineRouting = setup.routing ? (*setup.routing)(routing) : routing;
        EngineContext engine{state, sink, run, &engineRouting, &files.writeBehind()};
        runScan(ScanMode::Demux, engine);
        while (setup.next(sink)) runScan(ScanMode::Demux, engine);
        subpictures.finish();
        if (matroska)
            for (auto& out : matroska->wavOutputs) out->writer().finish();
        files.close();
    }
    // One stream that no reader finds must not cost the whole Matroska file.
    if (matroska) {
        const auto usable = usableStreams(matroska->streams, job.selection, job.sink);
        if (usable.size() != matroska->streams.size()) setup.writeOptions(usable);
    }
}

}  // namespace

void bDemuxClick(JobContext& job, const PlaylistState* playlist) {
    auto& state = job.state;
    static const ScanResult kNoScan;
    const ScanResult& scan = job.lastScan ? *job.lastScan : kNoScan;
    job.host.setCommandEnabled(Command::Demux, false);
    job.host.showPage(kStatusPage);
    const bool makeMkv = job.host.isOptionChecked(Option::MakeMkv);
    std::unique_ptr<MatroskaPlan> matroska;
    if (matroskaReady(job.host))
        matroska = std::make_unique<MatroskaPlan>(MatroskaPlan{scan, {}, {}});
    std::string mkvmerge;
    if (makeMkv && (mkvmerge = findOnPath("mkvmerge")).empty()) {
        job.host.setCommandEnabled(Command::Demux, true);
        throw ToolError("mkvmerge not found");
    }
    const auto base = outputBase(job.host.optionText(TextOption::Workdir), job.input.EVObase);
    state.FrameCount = {0, 0};
    const auto start = PlanContinuation(base, job.input.EVOname, job.input.evoField(), job.host);
    job.sink.log("Opening file " + job.input.EVOname);
    job.sink.slog("Opening", 0);
    bool firstPass = true;
    const PassSetup setup{job.input.evoField(), start.outputBase, demuxSubpictureForm(job.host),
                          [&](ReportSink& sink) {
                              return std::exchange(firstPass, false) &&
                                     ContinueWithNext(start.plan, state, sink, job.host);
                          },
                          [&](const std::vector<CreatedStream>& streams) {
                              return writeMatroskaFiles(start.outputBase, streams, playlist,
                                                        job.input.EVObase);
                          }};
    demuxPasses(job, scan, setup, matroska.get());
    reportDone(job.sink);
    reportFrameCounts(job.sink, state.FrameCount);
    if (makeMkv && !state.CancelRequested)
        runMkvmerge(mkvmerge, mkvmergeOptionFileName(start.outputBase), state, job.sink, job.host);
    job.host.setCommandEnabled(Command::Demux, true);
}

void demuxClips(JobContext& job, const ScanResult& scan, const ClipsDemux& plan) {
    auto& state = job.state;
    MatroskaPlan matroska{scan, {}, {}};
    state.FrameCount = {0, 0};
    const auto& first = plan.clips.paths().front();
    job.sink.log("Opening file " + std::string(fileNamePart(first)));
    job.sink.slog("Opening", 0);
    const PassSetup setup{first,
                          plan.outputBase,
                          SubpictureForm::Pgs,
                          [&](ReportSink& sink) { return plan.clips.openNext(state, sink); },
                          plan.writeOptions,
                          &plan.routing};
    demuxPasses(job, scan, setup, &matroska);
    reportDone(job.sink);
    reportFrameCounts(job.sink, state.FrameCount);
}

}  // namespace tarnwell
