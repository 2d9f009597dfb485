#include "formats/subpicture_unit.h"

#include <algorithm>
#include <utility>

namespace tarnwell {

namespace {

std::uint32_t be16(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint32_t{b[at]} << 8 | b[at + 1];
}
std::uint32_t be32(std::span<const std::uint8_t> b, std::size_t at) {
    return be16(b, at) << 16 | be16(b, at + 2);
}

// The header bytes that hold the size field, and the smallest size that holds the header.
constexpr std::size_t kHdSizeFieldEnd = 6;
constexpr std::size_t kHdHeaderSize = 10;
constexpr std::size_t kDvdHeaderSize = 4;
// A unit with more display control sequences than this is taken as an endless chain.
constexpr int kMaxSequences = 256;

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
            const std::size_t size = hd ? be32(unit_, 2) : be16(unit_, 0);
            if (size == 0 || size < (hd ? kHdHeaderSize : kDvdHeaderSize) ||
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

// ---- Decoder ----------------------------------------------------------------------------

namespace {

constexpr std::uint32_t kToLineEnd = 0xFFFFFFFF;

// The bitmap's lines of one field, drawn into the image or only read.
bool walkField(std::span<const std::uint8_t> unit, SubpictureImage& image, int field,
               BitmapWork work) {
    SubpictureFieldReader in(unit, image.fieldOffsets[field], image.form, image.width);
    std::vector<SubpictureRun> runs;
    for (int line = field; line < image.height; line += 2) {
        if (!in.nextLine(runs)) return false;
        if (work != BitmapWork::Draw) continue;
        std::uint8_t* row = image.pixels.data() +
                            static_cast<std::size_t>(line) * static_cast<std::size_t>(image.width);
        for (const auto& run : runs) row = std::fill_n(row, run.length, run.colour);
    }
    return true;
}

struct ColourState {
    std::array<YCrCb, 256> palette{};
    std::array<std::uint8_t, 256> alpha{};
    int sum() const {
        int total = 0;
        for (auto a : alpha) total += a;
        return total;
    }
};

// The DVD form's 0x03/0x04 arguments: four nibbles, the first for pixel value 3.
std::array<int, 4> nibbles(std::span<const std::uint8_t> unit, std::size_t at) {
    return {unit[at + 1] & 0x0F, unit[at + 1] >> 4, unit[at] & 0x0F, unit[at] >> 4};
}

}  // namespace

SubpictureFieldReader::SubpictureFieldReader(std::span<const std::uint8_t> unit, std::size_t offset,
                                             UnitForm form, int width)
    : unit_(unit), next_(offset), form_(form), width_(static_cast<std::uint32_t>(width)) {}

void SubpictureFieldReader::refill() {
    while (cached_ <= 56 && next_ < unit_.size()) {
        cache_ = cache_ << 8 | unit_[next_++];
        cached_ += 8;
    }
}

// Bits from a cache filled up to 8 bytes at a time; `failed_` once a read passes the end.
std::uint32_t SubpictureFieldReader::bits(int count) {
    if (cached_ < count) {
        refill();
        if (cached_ < count) {
            failed_ = true;
            return 0;
        }
    }
    cached_ -= count;
    return static_cast<std::uint32_t>(cache_ >> cached_) & ((1u << count) - 1);
}

// HD form run: run flag, colour size (2 or 8 bits), colour, then for a run the length size
// (3 bits + 2, or 7 bits + 9 with 0 meaning the rest of the line). A run takes at most 18
// bits: while that many are cached, the fields are cut from them without a check each.
std::uint32_t SubpictureFieldReader::hdRun(std::uint8_t& colour) {
    constexpr int kLongest = 18;
    if (cached_ < kLongest) refill();
    if (cached_ >= kLongest) {
        const auto peek = static_cast<std::uint32_t>(cache_ >> (cached_ - kLongest));
        const auto field = [peek](int at, int count) {
            return (peek >> (kLongest - at - count)) & ((1u << count) - 1);
        };
        const int colourBits = field(1, 1) ? 8 : 2;
        colour = static_cast<std::uint8_t>(field(2, colourBits));
        int used = 2 + colourBits;
        std::uint32_t length = 1;
        if (field(0, 1)) {
            const bool wide = field(used, 1) != 0;
            length = wide ? field(used + 1, 7) : field(used + 1, 3) + 2;
            if (wide) length = length == 0 ? kToLineEnd : length + 9;
            used += wide ? 8 : 4;
        }
        cached_ -= used;
        return length;
    }
    const bool run = bits(1) != 0;
    colour = static_cast<std::uint8_t>(bits(bits(1) ? 8 : 2));
    if (!run) return 1;
    if (bits(1) == 0) return bits(3) + 2;
    const std::uint32_t length = bits(7);
    return length == 0 ? kToLineEnd : length + 9;
}

// DVD form run: a 4, 8, 12 or 16-bit code, length above the 2 colour bits; length 0 means
// the rest of the line.
std::uint32_t SubpictureFieldReader::dvdRun(std::uint8_t& colour) {
    std::uint32_t code = bits(4);
    for (std::uint32_t limit = 0x4; limit <= 0x40 && code < limit; limit <<= 2)
        code = code << 4 | bits(4);
    colour = static_cast<std::uint8_t>(code & 3);
    return code >> 2 == 0 ? kToLineEnd : code >> 2;
}

bool SubpictureFieldReader::nextLine(std::vector<SubpictureRun>& runs) {
    runs.clear();
    for (std::uint32_t x = 0; x < width_;) {
        std::uint8_t colour = 0;
        const std::uint32_t length = form_ == UnitForm::Hd ? hdRun(colour) : dvdRun(colour);
        if (failed_) return false;
        const std::uint32_t n = std::min(length, width_ - x);
        runs.push_back({colour, n});
        x += n;
    }
    // Each line starts on a byte: the bits left of the byte begun last are dropped.
    cached_ -= cached_ % 8;
    return true;
}

YCrCb dvdGrey(int colourIndex) {
    return {static_cast<std::uint8_t>(16 + (colourIndex & 15) * 219 / 15), 128, 128};
}

SubpictureDecode decodeSubpictureUnit(std::span<const std::uint8_t> unit, BitmapWork work) {
    SubpictureImage image;
    const bool hd = unit.size() >= 2 && unit[0] == 0 && unit[1] == 0;
    image.form = hd ? UnitForm::Hd : UnitForm::Dvd;
    const std::size_t header = hd ? kHdHeaderSize : kDvdHeaderSize;
    if (unit.size() < header) return {{}, "unit cut short"};
    const std::size_t declared = hd ? be32(unit, 2) : be16(unit, 0);
    if (declared == 0) return {{}, "zero size"};
    if (declared != unit.size()) return {{}, "size outside the unit"};
    const std::size_t offsetSize = hd ? 4 : 2;
    auto offsetAt = [&](std::size_t at) { return hd ? be32(unit, at) : be16(unit, at); };

    ColourState colours;
    std::array<int, 4> dvdColours{0, 1, 2, 3};
    std::array<int, 4> dvdContrast{0, 15, 15, 15};
    auto applyDvdColours = [&] {
        for (int v = 0; v < 4; ++v) {
            colours.palette[v] = dvdGrey(dvdColours[v]);
            colours.alpha[v] = static_cast<std::uint8_t>(dvdContrast[v] * 17);
        }
    };
    if (!hd) applyDvdColours();
    ColourState best;
    int bestSum = -1;
    bool started = false, stopped = false, haveArea = false, haveFields = false;
    std::size_t fieldOffset[2] = {0, 0};
    int x1 = 0, x2 = 0, y1 = 0, y2 = 0;

    std::size_t sequence = offsetAt(hd ? 6 : 2);
    for (int count = 0;; ++count) {
        if (count == kMaxSequences) return {{}, "endless display control sequences"};
        if (sequence < header || sequence + 2 + offsetSize > unit.size())
            return {{}, "display control sequence outside the unit"};
        const std::int64_t delay = be16(unit, sequence);
        const std::size_t next = offsetAt(sequence + 2);
        std::size_t at = sequence + 2 + offsetSize;
        for (bool end = false; !end;) {
            if (at >= unit.size()) return {{}, "command cut short"};
            const std::uint8_t command = unit[at++];
            std::size_t argument = 0;
            switch (command) {
                case 0x00:
                case 0x01:
                    if (!started) image.startDelay = delay;
                    started = true;
                    if (command == 0x00) image.forced = true;
                    break;
                case 0x02:
                    if (!stopped) image.stopDelay = delay;
                    stopped = true;
                    break;
                case 0xFF:
                    end = true;
                    break;
                case 0x83:
                    argument = hd ? 768 : 0;
                    break;
                case 0x84:
                    argument = hd ? 256 : 0;
                    break;
                case 0x85:
                case 0x05:
                    argument = 6;
                    break;
                case 0x86:
                    argument = hd ? 8 : 0;
                    break;
                case 0x03:
                case 0x04:
                    argument = hd ? 0 : 2;
                    break;
                case 0x06:
                    argument = hd ? 0 : 4;
                    break;
                default:
                    break;
            }
            const bool known = command <= 0x02 || command == 0xFF || argument != 0;
            if (!known) return {{}, "unknown command"};
            if (at + argument > unit.size()) return {{}, "command cut short"};
            switch (command) {
                case 0x83:
                    for (int i = 0; i < 256; ++i)
                        colours.palette[i] = {unit[at + 3 * i], unit[at + 3 * i + 1],
                                              unit[at + 3 * i + 2]};
                    break;
                case 0x84:
                    for (int i = 0; i < 256; ++i)
                        colours.alpha[i] = static_cast<std::uint8_t>(255 - unit[at + i]);
                    break;
                case 0x03:
                    dvdColours = nibbles(unit, at);
                    applyDvdColours();
                    break;
                case 0x04:
                    dvdContrast = nibbles(unit, at);
                    applyDvdColours();
                    break;
                case 0x85:
                case 0x05:
                    x1 = static_cast<int>(unit[at] << 4 | unit[at + 1] >> 4);
                    x2 = static_cast<int>((unit[at + 1] & 0x0F) << 8 | unit[at + 2]);
                    y1 = static_cast<int>(unit[at + 3] << 4 | unit[at + 4] >> 4);
                    y2 = static_cast<int>((unit[at + 4] & 0x0F) << 8 | unit[at + 5]);
                    haveArea = true;
                    break;
                case 0x86:
                case 0x06:
                    fieldOffset[0] = offsetAt(at);
                    fieldOffset[1] = offsetAt(at + offsetSize);
                    haveFields = true;
                    break;
                default:
                    break;
            }
            at += argument;
        }
        if (const int sum = colours.sum(); sum > bestSum) {
            bestSum = sum;
            best = colours;
        }
        if (next == sequence) break;
        // Sequences only go forward, so every chain ends.
        if (next < sequence) return {{}, "endless display control sequences"};
        sequence = next;
    }

    if (!haveArea || !haveFields) return {{}, "no bitmap"};
    if (x2 < x1 || y2 < y1) return {{}, "bad area"};
    if (x2 >= kSubpictureScreenWidth || y2 >= kSubpictureScreenHeight)
        return {{}, "area larger than the screen"};
    if (fieldOffset[0] >= unit.size() || fieldOffset[1] >= unit.size())
        return {{}, "bitmap offset outside the unit"};
    image.x = x1;
    image.y = y1;
    image.width = x2 - x1 + 1;
    image.height = y2 - y1 + 1;
    image.palette = best.palette;
    image.alpha = best.alpha;
    image.fieldOffsets = {fieldOffset[0], fieldOffset[1]};
    if (work == BitmapWork::Draw)
        image.pixels.assign(static_cast<std::size_t>(image.width) * image.height, 0);
    if (work != BitmapWork::None)
        for (int field = 0; field < 2; ++field)
            if (!walkField(unit, image, field, work)) return {{}, "runs outside the unit"};
    return {std::move(image), {}};
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
