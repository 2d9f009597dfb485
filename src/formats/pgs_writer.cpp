#include "formats/pgs_writer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "formats/pgs_run_length.h"

namespace tarnwell {

namespace {

enum SegmentType : std::uint8_t { kPds = 0x14, kOds = 0x15, kPcs = 0x16, kWds = 0x17, kEnd = 0x80 };
constexpr std::size_t kMaxSegmentBody = 0xFFFF;

void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

}  // namespace

PgsWriter::PgsWriter(OutputFile& out, std::int64_t originPts, std::string streamName,
                     SubpictureAssembler::LogSink log)
    : out_(out), timing_(originPts), streamName_(std::move(streamName)), log_(std::move(log)) {}

void PgsWriter::segment(std::uint8_t type, std::uint32_t time,
                        std::initializer_list<std::span<const std::uint8_t>> body) {
    std::size_t size = 0;
    for (const auto& part : body) size += part.size();
    // "PG", PTS, DTS 0, type, size
    const std::uint8_t header[13] = {0x50,
                                     0x47,
                                     static_cast<std::uint8_t>(time >> 24),
                                     static_cast<std::uint8_t>(time >> 16),
                                     static_cast<std::uint8_t>(time >> 8),
                                     static_cast<std::uint8_t>(time),
                                     0,
                                     0,
                                     0,
                                     0,
                                     type,
                                     static_cast<std::uint8_t>(size >> 8),
                                     static_cast<std::uint8_t>(size)};
    out_.write(header, sizeof header);
    for (const auto& part : body) out_.write(part.data(), part.size());
}

void PgsWriter::showSet(std::uint32_t time, const SubpictureImage& image,
                        std::span<const std::uint8_t> data) {
    window_.clear();
    for (int v : {image.x, image.y, image.width, image.height})
        put16(window_, static_cast<std::uint32_t>(v));

    std::vector<std::uint8_t> pcs;
    put16(pcs, kSubpictureScreenWidth);
    put16(pcs, kSubpictureScreenHeight);
    pcs.push_back(0x10);  // frame rate code
    put16(pcs, compositionNumber_++);
    pcs.push_back(0x80);  // epoch start: the set stands on its own
    pcs.push_back(0x00);  // no palette-only update
    pcs.push_back(0x00);  // palette 0
    pcs.push_back(
        1);  // one object: id 0 in window 0, not cropped, forced when the unit is, at x, y
    pcs.insert(pcs.end(), {0, 0, 0, std::uint8_t(image.forced ? 0x40 : 0)});
    pcs.insert(pcs.end(), window_.begin(), window_.begin() + 4);
    segment(kPcs, time, {pcs});

    const std::uint8_t oneWindow[2] = {1, 0};
    segment(kWds, time, {oneWindow, window_});

    std::array<std::uint8_t, 2 + 256 * 5> pds{};
    for (int i = 0; i < 256; ++i) {
        const YCrCb& c = image.palette[i];
        const std::uint8_t entry[5] = {static_cast<std::uint8_t>(i), c.y, c.cr, c.cb,
                                       image.alpha[i]};
        std::memcpy(pds.data() + 2 + 5 * i, entry, 5);
    }
    segment(kPds, time, {pds});

    // The object, split over as many segments as its data needs; the first carries the
    // total length (data + 4) and the size.
    const std::size_t total = data.size() + 4;
    std::size_t at = 0;
    for (bool first = true; first || at < data.size(); first = false) {
        std::uint8_t head[11] = {0,
                                 0,
                                 0,
                                 0,
                                 static_cast<std::uint8_t>(total >> 16),
                                 static_cast<std::uint8_t>(total >> 8),
                                 static_cast<std::uint8_t>(total)};
        const std::size_t headSize = first ? sizeof head : 4;
        if (first) std::copy(window_.begin() + 4, window_.end(), head + 7);
        const std::size_t n = std::min(data.size() - at, kMaxSegmentBody - headSize);
        head[3] =
            static_cast<std::uint8_t>((first ? 0x80 : 0) | (at + n == data.size() ? 0x40 : 0));
        segment(kOds, time, {{head, headSize}, data.subspan(at, n)});
        at += n;
    }
    segment(kEnd, time, {});
}

void PgsWriter::clearSet(std::uint32_t time) {
    std::vector<std::uint8_t> pcs;
    put16(pcs, kSubpictureScreenWidth);
    put16(pcs, kSubpictureScreenHeight);
    pcs.push_back(0x10);
    put16(pcs, compositionNumber_++);
    pcs.insert(pcs.end(), {0x00, 0x00, 0x00, 0});  // normal case, no objects
    segment(kPcs, time, {pcs});
    const std::uint8_t oneWindow[2] = {1, 0};
    segment(kWds, time, {oneWindow, window_});
    segment(kEnd, time, {});
}

void PgsConversion::convert(const SubpictureUnit& unit) {
    decoded = {};
    runsFit = false;
    if (unit.pts < 0) return;
    if (unit.layout)
        decoded = {unit.layout, {}};
    else
        decoded = decodeSubpictureUnit(unit.bytes, BitmapWork::None);
    if (decoded.image) runsFit = pgsRunLength(unit.bytes, *decoded.image, code);
}

void PgsWriter::write(const SubpictureUnit& unit) {
    conversion_.convert(unit);
    write(unit, conversion_);
}

void PgsWriter::write(const SubpictureUnit& unit, const PgsConversion& conversion) {
    // The checks and lines of decodeForOutput, then of the runs.
    if (unit.pts < 0) {
        log_(skippedUnitLine(streamName_, unit.pts, "no time stamp"));
        return;
    }
    const std::optional<SubpictureImage>& image = conversion.decoded.image;
    if (!image) {
        log_(skippedUnitLine(streamName_, unit.pts, conversion.decoded.error));
        return;
    }
    if (!conversion.runsFit) {
        log_(skippedUnitLine(streamName_, unit.pts, "runs outside the unit"));
        return;
    }
    const PgsTiming::Placement placement =
        timing_.place(unit.pts, image->startDelay, image->stopDelay);
    if (!placement.skipped.empty()) {
        log_(skippedUnitLine(streamName_, unit.pts, placement.skipped));
        return;
    }
    if (placement.clearBefore) clearSet(*placement.clearBefore);
    showSet(placement.show, *image, conversion.code);
}

void PgsWriter::finish() {
    if (const auto clear = timing_.finish()) clearSet(*clear);
}

}  // namespace tarnwell
