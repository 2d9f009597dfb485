#include "jobs/subpicture_output.h"

#include <exception>
#include <utility>

namespace tarnwell {

SubpictureForm demuxSubpictureForm(const Host& host) {
    if (matroskaReady(host)) return SubpictureForm::Pgs;
    return host.subpictureForm();
}

SubpictureOrigin::SubpictureOrigin(const ScanResult* scan, SubpictureAssembler::LogSink log)
    : log_(std::move(log)) {
    const FoundStream* video = scan ? scan->find(SlotKind::Video, 0) : nullptr;
    if (video && video->firstPts >= 0) pts_ = video->firstPts;
}

std::int64_t SubpictureOrigin::settle(std::int64_t unitPts) {
    if (!pts_) {
        pts_ = unitPts;
        log_("No PTS of video stream 0 known: subpicture times count from PTS " +
             std::to_string(unitPts) + ".");
    }
    return *pts_;
}

SubpictureOutput::SubpictureOutput(SubpictureForm form, OutputFile& file, std::string streamName,
                                   SubpictureOrigin& origin, SubpictureAssembler::LogSink log)
    : form_(form),
      file_(file),
      streamName_(std::move(streamName)),
      origin_(origin),
      log_(std::move(log)),
      assembler_(
          streamName_, [this](SubpictureUnit&& unit) { take(std::move(unit)); }, log_) {
    if (form_ == SubpictureForm::HdSup) hdSup_.emplace(file_, streamName_, log_);
}

void SubpictureOutput::write(std::span<const std::uint8_t> chunk, const PacketInfo& packet) {
    assembler_.feed(chunk, packet.starts, packet.pts);
}

void SubpictureOutput::take(SubpictureUnit&& unit) {
    if (hdSup_) {
        hdSup_->write(unit);
        return;
    }
    if (!pgs_) {
        // The origin can be fixed only by a unit with a time stamp.
        if (unit.pts < 0) {
            log_(skippedUnitLine(streamName_, unit.pts, "no time stamp"));
            return;
        }
        pgs_.emplace(file_, origin_.settle(unit.pts), streamName_, log_);
    }
    pgs_->write(unit);
}

void SubpictureOutput::finish() {
    assembler_.finish();
    if (pgs_) pgs_->finish();
}

SubpictureOutputs::SubpictureOutputs(SubpictureForm form, const ScanResult* scan,
                                     SubpictureAssembler::LogSink log)
    : form_(form), log_(log), origin_(scan, std::move(log)) {}

SubpictureOutputs::~SubpictureOutputs() {
    if (finished_) return;
    for (auto& output : outputs_) {
        try {
            output->finish();
        } catch (...) {
            // The job is already ending on its first error; the file keeps what it took.
        }
    }
}

void SubpictureOutputs::add(int n, OutputFile& file, std::string streamName,
                            StreamRouting& routing) {
    outputs_.push_back(
        std::make_unique<SubpictureOutput>(form_, file, std::move(streamName), origin_, log_));
    routing.setOutput(SlotKind::Subpicture, n, outputs_.back().get());
}

void SubpictureOutputs::finish() {
    finished_ = true;
    // Every stream is ended; the first failure is raised after the last.
    std::exception_ptr failure;
    for (auto& output : outputs_) {
        try {
            output->finish();
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    if (failure) std::rethrow_exception(failure);
}

}  // namespace tarnwell
