#include "formats/subpicture_unit.h"

#include <algorithm>
#include <utility>

namespace tarnwell {

namespace {

// The header bytes that hold the HD form's size field.
constexpr std::size_t kHdSizeFieldEnd = 6;

std::string ptsText(std::int64_t pts) {
    return pts < 0 ? "none" : std::to_string(pts);
}

}  // namespace

SubpictureAssembler::SubpictureAssembler(std::string streamName, UnitSink onUnit, LogSink log)
    : streamName_(std::move(streamName)), onUnit_(std::move(onUnit)), log_(std::move(log)) {}

void SubpictureAssembler::clearUnit() {
    unit_.clear();
    marks_.clear();
    unitSize_ = 0;
}

void SubpictureAssembler::ptsPacket(std::int64_t pts) {
    lastPts_ = pts;
    skipping_ = false;
    if (!unit_.empty()) marks_.push_back({unit_.size(), pts});
}

void SubpictureAssembler::feed(std::span<const std::uint8_t> chunk, bool packetStarts,
                               std::int64_t pts) {
    if (packetStarts && pts >= 0) ptsPacket(pts);
    fed_ += chunk.size();
    while (!chunk.empty()) {
        const auto [used, taken] = take(chunk);
        chunk = chunk.subspan(used);
        if (taken == Taken::Refused) refuse({}, {});
        replay();
    }
}

std::pair<std::size_t, SubpictureAssembler::Taken> SubpictureAssembler::take(
    std::span<const std::uint8_t> bytes) {
    if (skipping_) return {bytes.size(), Taken::Partly};
    std::size_t used = 0;
    while (used < bytes.size()) {
        if (unit_.empty()) unitPts_ = lastPts_;
        // First the size field, then the rest of the unit.
        const bool hd = unit_.size() >= 2 && unit_[0] == 0 && unit_[1] == 0;
        const std::size_t wanted = unitSize_ != 0 ? unitSize_ : hd ? kHdSizeFieldEnd : 2;
        const std::size_t n = std::min(wanted - unit_.size(), bytes.size() - used);
        unit_.insert(unit_.end(), bytes.begin() + static_cast<std::ptrdiff_t>(used),
                     bytes.begin() + static_cast<std::ptrdiff_t>(used + n));
        used += n;
        if (unit_.size() < wanted) break;
        if (unitSize_ == 0) {
            // Two bytes read: a DVD-form size, or the zero word that starts the HD form.
            if (unit_.size() == 2 && unit_[0] == 0 && unit_[1] == 0) continue;
            const std::size_t size = declaredUnitSize(unit_, hd ? UnitForm::Hd : UnitForm::Dvd);
            if (size == 0 || size < (hd ? kHdUnitHeaderSize : kDvdUnitHeaderSize) ||
                size > kMaxSubpictureUnitSize) {
                reason_ = size == 0 ? "zero size" : "bad unit size";
                return {used, Taken::Refused};
            }
            unitSize_ = size;
            // A damaged size field may ask for megabytes that never come.
            unit_.reserve(std::min<std::size_t>(size, 64 * 1024));
            continue;
        }
        SubpictureDecode decoded = decodeSubpictureUnit(unit_, BitmapWork::None);
        if (!decoded.image) {
            reason_ = decoded.error;
            return {used, Taken::Refused};
        }
        SubpictureUnit done{std::move(unit_), unitPts_, decoded.image->form,
                            std::move(decoded.image)};
        unit_ = {};
        clearUnit();
        onUnit_(std::move(done));
        return {used, Taken::Whole};
    }
    return {used, Taken::Partly};
}

void SubpictureAssembler::refuse(std::span<const std::uint8_t> rest,
                                 std::span<const Mark> restMarks) {
    if (!quiet_) log_(skippedUnitLine(streamName_, unitPts_, reason_));
    // The unit's bytes from its first packet with a PTS on are assembled again, within a
    // budget that keeps the work on any stream a few times its size.
    const bool again = !marks_.empty() && replayed_ + unit_.size() <= 4 * fed_ + (64u << 10);
    std::vector<std::uint8_t> bytes;
    std::vector<Mark> marks;
    if (again) {
        const std::size_t from = marks_.front().offset;
        bytes.assign(unit_.begin() + static_cast<std::ptrdiff_t>(from), unit_.end());
        for (const Mark& mark : marks_) marks.push_back({mark.offset - from, mark.pts});
        replayed_ += bytes.size();
    }
    for (const Mark& mark : restMarks) marks.push_back({mark.offset + bytes.size(), mark.pts});
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    clearUnit();
    // Otherwise what follows up to the next packet with a PTS belongs to the dropped unit.
    skipping_ = !again;
    replay_ = std::move(bytes);
    replayMarks_ = std::move(marks);
}

// Assembles the bytes of a dropped unit again, packet by packet as they came; a unit refused
// on the way hands on what is still to come.
void SubpictureAssembler::replay() {
    std::size_t at = 0, mark = 0;
    while (!replay_.empty()) {
        for (; mark < replayMarks_.size() && replayMarks_[mark].offset <= at; ++mark)
            ptsPacket(replayMarks_[mark].pts);
        if (at == replay_.size()) break;
        const std::size_t until =
            mark < replayMarks_.size() ? replayMarks_[mark].offset : replay_.size();
        const auto [used, taken] = take(std::span(replay_).subspan(at, until - at));
        at += used;
        if (taken != Taken::Refused) continue;
        // The rest of these bytes follows the refused unit's own.
        const std::vector<std::uint8_t> rest(replay_.begin() + static_cast<std::ptrdiff_t>(at),
                                             replay_.end());
        std::vector<Mark> restMarks;
        for (std::size_t k = mark; k < replayMarks_.size(); ++k)
            restMarks.push_back({replayMarks_[k].offset - at, replayMarks_[k].pts});
        replay_.clear();
        replayMarks_.clear();
        refuse(rest, restMarks);
        at = 0, mark = 0;
    }
    replay_.clear();
    replayMarks_.clear();
}

void SubpictureAssembler::finish() {
    if (!unit_.empty())
        log_(streamName_ + ": incomplete subpicture unit at PTS " + ptsText(unitPts_) + " dropped");
    // Whole units may still stand behind a size too large; the rest is not logged again.
    quiet_ = true;
    while (!unit_.empty()) {
        refuse({}, {});
        replay();
    }
    quiet_ = false;
    clearUnit();
}

std::string skippedUnitLine(std::string_view streamName, std::int64_t pts,
                            std::string_view reason) {
    std::string line(streamName);
    line += ": subpicture unit at PTS ";
    line += ptsText(pts);
    line += " skipped (";
    line += reason;
    line += ")";
    return line;
}

std::optional<SubpictureImage> decodeForOutput(const SubpictureUnit& unit,
                                               std::string_view streamName,
                                               const SubpictureAssembler::LogSink& log,
                                               BitmapWork work) {
    if (unit.pts < 0) {
        log(skippedUnitLine(streamName, unit.pts, "no time stamp"));
        return std::nullopt;
    }
    SubpictureDecode decoded = decodeSubpictureUnit(unit.bytes, work);
    if (!decoded.image) log(skippedUnitLine(streamName, unit.pts, decoded.error));
    return std::move(decoded.image);
}

}  // namespace tarnwell
