#pragma once
// The subpicture forms of the Demux job. While the form is not the raw one, every written
// subpicture stream goes through an output that cuts its payload into units and writes them
// into the stream's file as HD-DVD SUP records or as presentation graphics; no time-stamp
// file is made. One set of outputs serves both files of a continuation, so a unit that the
// seam splits is whole in the output, and the last PTS seen carries over too.
//
// Presentation graphics are converted on a second thread of low priority while the demux reads
// on (the demux's thread converts a unit itself when it needs it and the second thread has not
// begun it); the files and the log are used from the demux's thread only. A unit is written (and
// its lines logged) in the order the units came, and every unit taken is written before any other
// line of the job is logged (through `orderedSink`), before the demux flushes its writes
// (the routing's flush: every progress report, the end of each file, Cancel) and at the end.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/output_routing.h"
#include "engine/scan_result.h"
#include "formats/hd_sup_writer.h"
#include "formats/pgs_writer.h"
#include "formats/subpicture_unit.h"
#include "io/file_io.h"
#include "io/report_sink.h"
#include "jobs/host.h"
#include "jobs/pgs_converter.h"
#include "jobs/stream_routing.h"

namespace tarnwell {

// The form Demux writes subpictures in. "Matroska-ready files" means presentation graphics,
// the one form a Matroska muxer takes.
SubpictureForm demuxSubpictureForm(const Host& host);

// Where presentation graphics times count from: the first PTS of video stream 0 as the scan
// found it, so the subtitles line up with the video. Without one, the PTS of the first unit
// that any subpicture stream of the job brings, logged once, so the streams still line up
// with each other.
class SubpictureOrigin {
  public:
    SubpictureOrigin(const ScanResult* scan, SubpictureAssembler::LogSink log);
    // The origin, fixed at `unitPts` (a PTS, not -1) when it is not known yet.
    std::int64_t fixAt(std::int64_t unitPts);

  private:
    std::optional<std::int64_t> pts_;
    SubpictureAssembler::LogSink log_;
};

// One subpicture stream in HD-DVD SUP or PGS form, written into `file`. PGS units go through
// `converter` when there is one.
class SubpictureOutput final : public PayloadOutput {
  public:
    SubpictureOutput(SubpictureForm form, OutputFile& file, std::string streamName,
                     SubpictureOrigin& origin, SubpictureAssembler::LogSink log,
                     SubpictureAssembler::LogSink assemblerLog, PgsConverter* converter);
    void write(std::span<const std::uint8_t> chunk, const PacketInfo& packet) override;
    void flush() override;
    // The end of the stream: drops (and logs) an incomplete last unit, writes the clearing
    // display set that the last unit still owes.
    void finish();
    // Writes a PGS unit with its conversion.
    void write(const SubpictureUnit& unit, const PgsConversion& conversion);

  private:
    void take(SubpictureUnit&& unit);

    SubpictureForm form_;
    OutputFile& file_;
    std::string streamName_;
    SubpictureOrigin& origin_;
    SubpictureAssembler::LogSink log_;
    PgsConverter* converter_;
    std::optional<HdSupWriter> hdSup_;
    std::optional<PgsWriter> pgs_;  // made at the first unit when the origin is known only then
    SubpictureAssembler assembler_;
};

// The subpicture outputs of one Demux job. `finish` ends them on the normal path (a write
// error there is the job's error); when the job ends on an error or before `finish`, the
// destructor ends them without raising, so the first error is the one the user sees.
class SubpictureOutputs {
  public:
    SubpictureOutputs(SubpictureForm form, const ScanResult* scan,
                      SubpictureAssembler::LogSink log);
    ~SubpictureOutputs();
    SubpictureOutputs(const SubpictureOutputs&) = delete;
    SubpictureOutputs& operator=(const SubpictureOutputs&) = delete;

    // Routes subpicture slot n, written into `file`, through an output of its own.
    void add(int n, OutputFile& file, std::string streamName, StreamRouting& routing);
    // Writes every unit taken so far.
    void drain();
    // `sink` for the job's other lines: each waits for the units taken before it.
    ReportSink& orderedSink(ReportSink& sink);
    void finish();

  private:
    class OrderedSink final : public ReportSink {
      public:
        OrderedSink(SubpictureOutputs& outputs, ReportSink& sink)
            : outputs_(outputs), sink_(sink) {}
        void log(std::string_view text) override;
        void slog(std::string_view text, std::uint8_t panel) override;

      private:
        SubpictureOutputs& outputs_;
        ReportSink& sink_;
    };

    SubpictureForm form_;
    SubpictureAssembler::LogSink log_;
    SubpictureOrigin origin_;
    std::vector<std::unique_ptr<SubpictureOutput>> outputs_;
    std::unique_ptr<PgsConverter> converter_;  // while PGS units are written
    std::optional<OrderedSink> orderedSink_;
    bool finished_ = false;
};

}  // namespace tarnwell
