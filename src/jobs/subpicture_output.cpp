#include "jobs/subpicture_output.h"

#include <algorithm>
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

std::int64_t SubpictureOrigin::fixAt(std::int64_t unitPts) {
    if (!pts_) {
        pts_ = unitPts;
        log_("No PTS of video stream 0 known: subpicture times count from PTS " +
             std::to_string(unitPts) + ".");
    }
    return *pts_;
}

SubpictureOutput::SubpictureOutput(SubpictureForm form, OutputFile& file, std::string streamName,
                                   SubpictureOrigin& origin, SubpictureAssembler::LogSink log,
                                   SubpictureAssembler::LogSink assemblerLog,
                                   PgsConverter* converter)
    : form_(form),
      file_(file),
      streamName_(std::move(streamName)),
      origin_(origin),
      log_(std::move(log)),
      converter_(converter),
      assembler_(
          streamName_, [this](SubpictureUnit&& unit) { take(std::move(unit)); },
          std::move(assemblerLog)) {
    if (form_ == SubpictureForm::HdSup) hdSup_.emplace(file_, streamName_, log_);
}

void SubpictureOutput::write(std::span<const std::uint8_t> chunk, const PacketInfo& packet) {
    assembler_.feed(chunk, packet.starts, packet.pts);
}

void SubpictureOutput::flush() {
    if (converter_) converter_->drain();
}

void SubpictureOutput::take(SubpictureUnit&& unit) {
    if (hdSup_) {
        hdSup_->write(unit);
    } else if (converter_) {
        converter_->convert(*this, std::move(unit));
    } else {
        PgsConversion conversion;
        conversion.convert(unit);
        write(unit, conversion);
    }
}

void SubpictureOutput::write(const SubpictureUnit& unit, const PgsConversion& conversion) {
    if (!pgs_) {
        // The origin can be fixed only by a unit with a time stamp.
        if (unit.pts < 0) {
            log_(skippedUnitLine(streamName_, unit.pts, "no time stamp"));
            return;
        }
        pgs_.emplace(file_, origin_.fixAt(unit.pts), streamName_, log_);
    }
    pgs_->write(unit, conversion);
}

void SubpictureOutput::finish() {
    assembler_.finish();
    // The units that the end of the stream still gave out.
    if (converter_) converter_->drain();
    if (pgs_) pgs_->finish();
}

void SubpictureOutputs::OrderedSink::log(std::string_view text) {
    outputs_.drain();
    sink_.log(text);
}

void SubpictureOutputs::OrderedSink::slog(std::string_view text, std::uint8_t panel) {
    outputs_.drain();
    sink_.slog(text, panel);
}

SubpictureOutputs::SubpictureOutputs(SubpictureForm form, const ScanResult* scan,
                                     SubpictureAssembler::LogSink log)
    : form_(form), log_(log), origin_(scan, std::move(log)) {}

SubpictureOutputs::~SubpictureOutputs() {
    if (finished_) return;
    try {
        drain();
    } catch (...) {
        // As below.
    }
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
    if (form_ == SubpictureForm::Pgs && !converter_) converter_ = std::make_unique<PgsConverter>();
    outputs_.push_back(std::make_unique<SubpictureOutput>(
        form_, file, std::move(streamName), origin_, log_,
        [this](std::string_view line) {
            drain();
            log_(line);
        },
        converter_.get()));
    routing.setOutput(SlotKind::Subpicture, n, outputs_.back().get());
}

void SubpictureOutputs::drain() {
    if (converter_) converter_->drain();
}

ReportSink& SubpictureOutputs::orderedSink(ReportSink& sink) {
    if (!converter_) return sink;
    orderedSink_.emplace(*this, sink);
    return *orderedSink_;
}

void SubpictureOutputs::finish() {
    finished_ = true;
    // Every stream is ended; the first failure is raised after the last.
    std::exception_ptr failure;
    try {
        drain();
    } catch (...) {
        failure = std::current_exception();
    }
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
