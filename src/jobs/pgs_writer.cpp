#include "jobs/pgs_writer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace tarnwell {

namespace {

enum SegmentType : std::uint8_t { kPds = 0x14, kOds = 0x15, kPcs = 0x16, kWds = 0x17, kEnd = 0x80 };
constexpr std::size_t kMaxSegmentBody = 0xFFFF;
constexpr std::int64_t kPtsModulus = std::int64_t{1} << 33;

void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

// The signed distance from `origin` to `pts`, taken modulo 2^33.
std::int64_t ticksSince(std::int64_t origin, std::int64_t pts) {
    std::int64_t d = (pts - origin) % kPtsModulus;
    if (d < 0) d += kPtsModulus;
    return d >= kPtsModulus / 2 ? d - kPtsModulus : d;
}

void putRun(std::vector<std::uint8_t>& out, std::uint8_t colour, std::size_t length) {
    while (length > 0) {
        const std::size_t n = std::min<std::size_t>(length, 0x3FFF);
        if (colour != 0 && n <= 2) {
            out.insert(out.end(), n, colour);
        } else {
            out.push_back(0);
            const std::uint8_t flags = (colour != 0 ? 0x80 : 0) | (n >= 64 ? 0x40 : 0);
            if (n >= 64) {
                out.push_back(static_cast<std::uint8_t>(flags | n >> 8));
                out.push_back(static_cast<std::uint8_t>(n));
            } else {
                out.push_back(static_cast<std::uint8_t>(flags | n));
            }
            if (colour != 0) out.push_back(colour);
        }
        length -= n;
    }
}

// The end of the run of equal values that starts at `from`, compared 8 bytes at a time.
const std::uint8_t* runEnd(const std::uint8_t* from, const std::uint8_t* end) {
    const std::uint64_t same = *from * std::uint64_t{0x0101010101010101};
    const std::uint8_t* at = from + 1;
    if constexpr (std::endian::native == std::endian::little) {
        for (; end - at >= 8; at += 8) {
            std::uint64_t word;
            std::memcpy(&word, at, 8);
            if (const std::uint64_t differ = word ^ same; differ != 0)
                return at + std::countr_zero(differ) / 8;
        }
    }
    while (at < end && *at == *from) ++at;
    return at;
}

}  // namespace

std::vector<std::uint8_t> pgsRunLength(const SubpictureImage& image) {
    std::vector<std::uint8_t> out;
    out.reserve(image.pixels.size() / 4 + 2 * static_cast<std::size_t>(image.height));
    const auto width = static_cast<std::size_t>(image.width);
    for (int line = 0; line < image.height; ++line) {
        const std::uint8_t* row = image.pixels.data() + static_cast<std::size_t>(line) * width;
        for (const std::uint8_t* at = row; at < row + width;) {
            const std::uint8_t* end = runEnd(at, row + width);
            putRun(out, *at, static_cast<std::size_t>(end - at));
            at = end;
        }
        out.push_back(0);
        out.push_back(0);
    }
    return out;
}

namespace {

// One PGS run of at most 0x3FFF pixels at `at`, which has room for 4 bytes; returns its end.
std::uint8_t* putShortRun(std::uint8_t* at, std::uint8_t colour, std::uint32_t n) {
    if (colour != 0 && n <= 2) {
        at[0] = colour;
        if (n == 2) at[1] = colour;
        return at + n;
    }
    *at++ = 0;
    const std::uint8_t flags = (colour != 0 ? 0x80 : 0) | (n >= 64 ? 0x40 : 0);
    if (n >= 64) {
        *at++ = static_cast<std::uint8_t>(flags | n >> 8);
        *at++ = static_cast<std::uint8_t>(n);
    } else {
        *at++ = static_cast<std::uint8_t>(flags | n);
    }
    if (colour != 0) *at++ = colour;
    return at;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> pgsRunLength(std::span<const std::uint8_t> unit,
                                                      const SubpictureImage& image) {
    static_assert(kSubpictureScreenWidth <= 0x3FFF, "a line's run fits one PGS run");
    std::vector<std::uint8_t> out;
    SubpictureFieldReader fields[2] = {{unit, image.fieldOffsets[0], image.form, image.width},
                                       {unit, image.fieldOffsets[1], image.form, image.width}};
    std::vector<SubpictureRun> runs;
    for (int line = 0; line < image.height; ++line) {
        if (!fields[line & 1].nextLine(runs)) return std::nullopt;
        // Room for every run at 4 bytes and the line's end; cut back to what was written.
        const std::size_t start = out.size();
        out.resize(start + 4 * runs.size() + 2);
        std::uint8_t* at = out.data() + start;
        // Runs of one value next to each other make one PGS run.
        SubpictureRun pending = runs.front();
        for (std::size_t i = 1; i < runs.size(); ++i) {
            if (runs[i].colour == pending.colour) {
                pending.length += runs[i].length;
                continue;
            }
            at = putShortRun(at, pending.colour, pending.length);
            pending = runs[i];
        }
        at = putShortRun(at, pending.colour, pending.length);
        *at++ = 0;
        *at++ = 0;
        out.resize(static_cast<std::size_t>(at - out.data()));
    }
    return out;
}

PgsWriter::PgsWriter(OutputFile& out, std::int64_t originPts, std::string streamName,
                     SubpictureAssembler::LogSink log)
    : out_(out), originPts_(originPts), streamName_(std::move(streamName)), log_(std::move(log)) {}

void PgsWriter::segment(std::uint8_t type, std::uint32_t time,
                        const std::vector<std::uint8_t>& body) {
    std::vector<std::uint8_t> header{0x50, 0x47};  // "PG", PTS, DTS 0, type, size
    put16(header, time >> 16);
    put16(header, time & 0xFFFF);
    header.insert(header.end(), 4, 0);
    header.push_back(type);
    put16(header, static_cast<std::uint32_t>(body.size()));
    out_.write(header.data(), header.size());
    out_.write(body.data(), body.size());
}

void PgsWriter::showSet(std::uint32_t time, const SubpictureImage& image,
                        const std::vector<std::uint8_t>& data) {
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
    pcs.push_back(1);     // one object: id 0 in window 0, not cropped, at x, y
    pcs.insert(pcs.end(), {0, 0, 0, 0});
    pcs.insert(pcs.end(), window_.begin(), window_.begin() + 4);
    segment(kPcs, time, pcs);

    std::vector<std::uint8_t> wds{1, 0};
    wds.insert(wds.end(), window_.begin(), window_.end());
    segment(kWds, time, wds);

    std::vector<std::uint8_t> pds{0, 0};
    for (int i = 0; i < 256; ++i) {
        const YCrCb& c = image.palette[i];
        pds.insert(pds.end(), {static_cast<std::uint8_t>(i), c.y, c.cr, c.cb, image.alpha[i]});
    }
    segment(kPds, time, pds);

    // The object, split over as many segments as its data needs; the first carries the
    // total length (data + 4) and the size.
    const std::size_t total = data.size() + 4;
    std::size_t at = 0;
    for (bool first = true; first || at < data.size(); first = false) {
        std::vector<std::uint8_t> ods{0, 0, 0, 0};
        if (first) {
            ods.insert(ods.end(),
                       {static_cast<std::uint8_t>(total >> 16),
                        static_cast<std::uint8_t>(total >> 8), static_cast<std::uint8_t>(total)});
            ods.insert(ods.end(), window_.begin() + 4, window_.end());
        }
        const std::size_t n = std::min(data.size() - at, kMaxSegmentBody - ods.size());
        ods.insert(ods.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                   data.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
        ods[3] = static_cast<std::uint8_t>((first ? 0x80 : 0) | (at == data.size() ? 0x40 : 0));
        segment(kOds, time, ods);
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
    segment(kPcs, time, pcs);
    std::vector<std::uint8_t> wds{1, 0};
    wds.insert(wds.end(), window_.begin(), window_.end());
    segment(kWds, time, wds);
    segment(kEnd, time, {});
}

void PgsWriter::write(const SubpictureUnit& unit) {
    const std::optional<SubpictureImage> image =
        decodeForOutput(unit, streamName_, log_, BitmapWork::None);
    if (!image) return;
    const auto data = pgsRunLength(unit.bytes, *image);
    if (!data) {
        log_(skippedUnitLine(streamName_, unit.pts, "runs outside the unit"));
        return;
    }
    const std::int64_t start =
        ticksSince(originPts_, unit.pts) + image->startDelay * kSubpictureDelayTicks;
    if (start < 0 || start > 0xFFFFFFFF) {
        log_(skippedUnitLine(streamName_, unit.pts, "outside the video's time line"));
        return;
    }
    const auto shown = static_cast<std::uint32_t>(start);
    if (clearOwed_) clearSet(clearTime_ ? std::min(*clearTime_, shown) : shown);
    showSet(shown, *image, *data);
    shownAt_ = shown;
    clearOwed_ = true;
    clearTime_.reset();
    if (image->stopDelay >= 0) {
        const std::int64_t stop =
            start + (image->stopDelay - image->startDelay) * kSubpictureDelayTicks;
        clearTime_ = static_cast<std::uint32_t>(std::clamp<std::int64_t>(stop, start, 0xFFFFFFFF));
    }
}

void PgsWriter::finish() {
    if (!clearOwed_) return;
    clearSet(clearTime_.value_or(static_cast<std::uint32_t>(
        std::min<std::int64_t>(shownAt_ + kDefaultShowTicks, 0xFFFFFFFF))));
    clearOwed_ = false;
}

}  // namespace tarnwell
