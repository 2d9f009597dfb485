#pragma once
// The subpicture forms of the Demux job. While the form is not the raw one, every written
// subpicture stream goes through an output that cuts its payload into units and writes them
// into the stream's file as HD-DVD SUP records or as presentation graphics; no time-stamp
// file is made. One set of outputs serves both files of a continuation, so a unit that the
// seam splits is whole in the output, and the last PTS seen carries over too.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/file_io.h"
#include "engine/output_routing.h"
#include "engine/scan_result.h"
#include "engine/subpicture_unit.h"
#include "jobs/hd_sup_writer.h"
#include "jobs/host.h"
#include "jobs/pgs_writer.h"
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
    std::int64_t settle(std::int64_t unitPts);

  private:
    std::optional<std::int64_t> pts_;
    SubpictureAssembler::LogSink log_;
};

// One subpicture stream in HD-DVD SUP or PGS form, written into `file`.
class SubpictureOutput final : public PayloadOutput {
  public:
    SubpictureOutput(SubpictureForm form, OutputFile& file, std::string streamName,
                     SubpictureOrigin& origin, SubpictureAssembler::LogSink log);
    void write(std::span<const std::uint8_t> chunk, const PacketInfo& packet) override;
    // The end of the stream: drops (and logs) an incomplete last unit, writes the clearing
    // display set that the last unit still owes.
    void finish();

  private:
    void take(SubpictureUnit&& unit);

    SubpictureForm form_;
    OutputFile& file_;
    std::string streamName_;
    SubpictureOrigin& origin_;
    SubpictureAssembler::LogSink log_;
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
    void finish();

  private:
    SubpictureForm form_;
    SubpictureAssembler::LogSink log_;
    SubpictureOrigin origin_;
    std::vector<std::unique_ptr<SubpictureOutput>> outputs_;
    bool finished_ = false;
};

}  // namespace tarnwell
