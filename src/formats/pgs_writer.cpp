#include "formats/pgs_writer.h"

#include <algorithm>
#include <array>
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

// One PGS run of 1..0x3FFF pixels, in the shortest of the 1- to 4-byte forms, as a
// little-endian word in bits 0..31 and its size in bits 32..34.
constexpr std::uint64_t pgsRunCode(std::uint32_t colour, std::uint32_t n) {
    if (colour != 0 && n <= 2) return (n == 2 ? colour * 0x0101 : colour) | std::uint64_t{n} << 32;
    const std::uint32_t flags = (colour != 0 ? 0x80 : 0) | (n >= 64 ? 0x40 | n >> 8 : n);
    const std::uint32_t word =
        flags << 8 | (n >= 64 ? (n & 0xFF) << 16 | colour << 24 : colour << 16);
    const std::uint32_t size = 2 + (n >= 64 ? 1 : 0) + (colour != 0 ? 1 : 0);
    return word | std::uint64_t{size} << 32;
}

// Writes the run `code` at `at`, which has room for 4 bytes; returns its end.
std::uint8_t* putRunCode(std::uint8_t* at, std::uint64_t code) {
    const std::uint8_t bytes[4] = {
        static_cast<std::uint8_t>(code), static_cast<std::uint8_t>(code >> 8),
        static_cast<std::uint8_t>(code >> 16), static_cast<std::uint8_t>(code >> 24)};
    std::memcpy(at, bytes, 4);
    return at + (code >> 32 & 7);
}

void putRun(std::vector<std::uint8_t>& out, std::uint8_t colour, std::size_t length) {
    while (length > 0) {
        const std::size_t n = std::min<std::size_t>(length, 0x3FFF);
        std::uint8_t bytes[4];
        out.insert(out.end(), bytes,
                   putRunCode(bytes, pgsRunCode(colour, static_cast<std::uint32_t>(n))));
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

// ---- HD form, fused -----------------------------------------------------------------------
//
// The HD form's run codes (see SubpictureFieldReader::hdRun) are read straight from the unit
// and turned into PGS runs as they come, without a list of runs between. Away from the unit's
// end the bits come from a 64-bit buffer topped up 8 bytes at a time; over the last bytes
// each code is read with the same check as the field reader makes.

constexpr std::uint32_t kToLineEnd = 0xFFFF;  // longer than any line

// A run code whose colour takes 2 bits fits 12 bits. Per 12-bit prefix: the PGS run of the
// code (bits 0..34, as pgsRunCode), its colour (bits 35..36), length (bits 37..44; 0: the rest
// of the line) and the bits it takes (45..48); 0 for a code with an 8-bit colour.
constexpr int kColourShift = 35, kLengthShift = 37, kUsedShift = 45;
constexpr std::array<std::uint64_t, 4096> kHdNarrowCodes = [] {
    std::array<std::uint64_t, 4096> table{};
    for (std::uint32_t p = 0; p < 4096; ++p) {
        const auto bit = [p](int at) { return (p >> (11 - at)) & 1; };
        if (bit(1)) continue;
        const std::uint32_t colour = (p >> 8) & 3;
        std::uint32_t length = 1, used = 4;
        if (bit(0) && !bit(4)) length = ((p >> 4) & 7) + 2, used = 8;
        if (bit(0) && bit(4)) length = (p & 0x7F) == 0 ? 0 : (p & 0x7F) + 9, used = 12;
        table[p] = (length != 0 ? pgsRunCode(colour, length) : 0) |
                   std::uint64_t{colour} << kColourShift | std::uint64_t{length} << kLengthShift |
                   std::uint64_t{used} << kUsedShift;
    }
    return table;
}();

std::uint64_t load64(const std::uint8_t* at) {
    std::uint64_t word;
    std::memcpy(&word, at, 8);
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
    return word;
}

// One run code from the top bits of `peek`: its colour and length; returns the bits it takes.
int hdCode(std::uint64_t peek, std::uint32_t& colour, std::uint32_t& length) {
    if (const std::uint64_t entry = kHdNarrowCodes[peek >> 52]; entry != 0) {
        colour = static_cast<std::uint32_t>(entry >> kColourShift & 3);
        length = static_cast<std::uint32_t>(entry >> kLengthShift & 0xFF);
        if (length == 0) length = kToLineEnd;
        return static_cast<int>(entry >> kUsedShift);
    }
    // An 8-bit colour: flag, size, 8 colour bits, then the length as in the narrow codes.
    colour = static_cast<std::uint32_t>(peek >> 54) & 0xFF;
    if ((peek >> 63) == 0) {
        length = 1;
        return 10;
    }
    if (((peek >> 53) & 1) == 0) {
        length = static_cast<std::uint32_t>(peek >> 50 & 7) + 2;
        return 14;
    }
    length = static_cast<std::uint32_t>(peek >> 46 & 0x7F);
    length = length == 0 ? kToLineEnd : length + 9;
    return 18;
}

// Where one field's code stands: while `fast`, at byte `next` with `count` bits in the top of
// `buffer` not yet used; after that at bit `bit` of the unit.
struct FieldBits {
    const std::uint8_t* next;
    std::uint64_t buffer = 0;
    int count = 0;
    bool fast = true;
    std::size_t bit = 0;
};

bool hdRunLength(std::span<const std::uint8_t> unit, const SubpictureImage& image,
                 std::vector<std::uint8_t>& out) {
    const std::uint8_t* const bytes = unit.data();
    const std::size_t size = unit.size();
    const std::size_t endBit = size * 8;
    const auto width = static_cast<std::uint32_t>(image.width);
    // Room for a line: a PGS run of at most 4 bytes per pixel, and the line's end.
    const std::size_t lineRoom = 4 * std::size_t{width} + 2;
    FieldBits fields[2] = {{bytes + image.fieldOffsets[0]}, {bytes + image.fieldOffsets[1]}};
    std::size_t length = 0;
    for (int line = 0; line < image.height; ++line) {
        if (out.size() - length < lineRoom) out.resize(std::max(2 * out.size(), length + lineRoom));
        std::uint8_t* at = out.data() + length;
        FieldBits& f = fields[line & 1];
        // Codes of one value next to each other make one PGS run: the pending run, written
        // when a code of another value comes (its code 0 writes nothing).
        std::uint32_t pendingColour = 0, pendingLength = 0;
        std::uint64_t pendingCode = 0;
        std::uint32_t x = 0;
        const auto take = [&](std::uint32_t colour, std::uint32_t n) {
            n = std::min(n, width - x);
            x += n;
            if (colour == pendingColour) {
                pendingLength += n;
            } else {
                at = putRunCode(at, pendingCode);
                pendingColour = colour;
                pendingLength = n;
            }
            pendingCode = pgsRunCode(pendingColour, pendingLength);
        };
        // The field's place in locals, so that it stays in registers.
        const std::uint8_t* next = f.next;
        std::uint64_t buffer = f.buffer;
        int count = f.count;
        while (f.fast && x < width) {
            if (bytes + size - next < 8) {
                f.fast = false;
                f.bit =
                    static_cast<std::size_t>(next - bytes) * 8 - static_cast<std::size_t>(count);
                break;
            }
            // At least 56 bits in the buffer: three codes (of at most 18 bits) without a check.
            buffer |= load64(next) >> count;
            next += (63 - count) >> 3;
            count |= 56;
            for (int k = 0; k < 3 && x < width; ++k) {
                const std::uint64_t entry = kHdNarrowCodes[buffer >> 52];
                const auto n = static_cast<std::uint32_t>(entry >> kLengthShift & 0xFF);
                // The common case: a 2-bit colour, a length, the line goes on.
                if (entry != 0 && n != 0 && width - x > n) [[likely]] {
                    // The bits taken, from the code rather than the table, since the next
                    // code waits for them: 4, 8 with a length, 12 with a long one.
                    const auto run = static_cast<int>(buffer >> 63);
                    const int used = 4 + 4 * run + 4 * (static_cast<int>(buffer >> 59) & run);
                    buffer <<= used;
                    count -= used;
                    x += n;
                    const auto colour = static_cast<std::uint32_t>(entry >> kColourShift & 3);
                    if (colour != pendingColour) [[likely]] {
                        at = putRunCode(at, pendingCode);
                        pendingColour = colour;
                        pendingLength = n;
                        pendingCode = entry;
                    } else {
                        pendingLength += n;
                        pendingCode = pgsRunCode(pendingColour, pendingLength);
                    }
                    continue;
                }
                std::uint32_t colour, length;
                const int used = hdCode(buffer, colour, length);
                buffer <<= used;
                count -= used;
                take(colour, length);
            }
        }
        // Each line starts on a byte: the bits left of the byte begun last are dropped.
        f.next = next;
        f.buffer = buffer << (count & 7);
        f.count = count & ~7;
        while (!f.fast && x < width) {
            std::uint64_t peek = 0;
            for (std::size_t i = f.bit >> 3, k = 0; i < size && k < 8; ++i, ++k)
                peek |= std::uint64_t{bytes[i]} << (56 - 8 * k);
            peek <<= f.bit & 7;
            std::uint32_t colour, n;
            f.bit += static_cast<std::size_t>(hdCode(peek, colour, n));
            if (f.bit > endBit) return false;
            take(colour, n);
        }
        f.bit = (f.bit + 7) & ~std::size_t{7};
        at = putRunCode(at, pendingCode);
        *at++ = 0;
        *at++ = 0;
        length = static_cast<std::size_t>(at - out.data());
    }
    out.resize(length);
    return true;
}

// Any form, through the field readers: the runs of a line, then its PGS runs.
bool readerRunLength(std::span<const std::uint8_t> unit, const SubpictureImage& image,
                     std::vector<std::uint8_t>& out) {
    SubpictureFieldReader fields[2] = {{unit, image.fieldOffsets[0], image.form, image.width},
                                       {unit, image.fieldOffsets[1], image.form, image.width}};
    std::vector<SubpictureRun> runs;
    for (int line = 0; line < image.height; ++line) {
        if (!fields[line & 1].nextLine(runs)) return false;
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
            at = putRunCode(at, pgsRunCode(pending.colour, pending.length));
            pending = runs[i];
        }
        at = putRunCode(at, pgsRunCode(pending.colour, pending.length));
        *at++ = 0;
        *at++ = 0;
        out.resize(static_cast<std::size_t>(at - out.data()));
    }
    return true;
}

}  // namespace

bool pgsRunLength(std::span<const std::uint8_t> unit, const SubpictureImage& image,
                  std::vector<std::uint8_t>& out) {
    static_assert(kSubpictureScreenWidth <= 0x3FFF, "a line's run fits one PGS run");
    static_assert(kSubpictureScreenWidth < kToLineEnd);
    out.clear();
    if (image.form == UnitForm::Hd) return hdRunLength(unit, image, out);
    return readerRunLength(unit, image, out);
}

std::optional<std::vector<std::uint8_t>> pgsRunLength(std::span<const std::uint8_t> unit,
                                                      const SubpictureImage& image) {
    std::vector<std::uint8_t> out;
    if (!pgsRunLength(unit, image, out)) return std::nullopt;
    return out;
}

PgsWriter::PgsWriter(OutputFile& out, std::int64_t originPts, std::string streamName,
                     SubpictureAssembler::LogSink log)
    : out_(out), originPts_(originPts), streamName_(std::move(streamName)), log_(std::move(log)) {}

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
    const std::int64_t start =
        ticksSince(originPts_, unit.pts) + image->startDelay * kSubpictureDelayTicks;
    if (start < 0 || start > 0xFFFFFFFF) {
        log_(skippedUnitLine(streamName_, unit.pts, "outside the video's time line"));
        return;
    }
    const auto shown = static_cast<std::uint32_t>(start);
    // Time never goes back in the file: the clear of the unit before would come before its
    // showing.
    if (clearOwed_ && shown < shownAt_) {
        log_(skippedUnitLine(streamName_, unit.pts, "starts before the unit before it"));
        return;
    }
    if (clearOwed_) clearSet(clearTime_ ? std::min(*clearTime_, shown) : shown);
    showSet(shown, *image, conversion.code);
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
