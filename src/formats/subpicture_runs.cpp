#include "formats/subpicture_runs.h"

#include <algorithm>

namespace tarnwell {

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

// Fewer bits than the longest code are cached only at the unit's end: the bits past it read
// as 0, and a code that takes them passes the end.
std::uint32_t SubpictureFieldReader::hdRun(std::uint8_t& colour) {
    if (cached_ < HdRunCode::kLongest) refill();
    const HdRunCode code = hdRunCode(cached_ == 0 ? 0 : cache_ << (64 - cached_));
    if (code.bits > cached_) {
        failed_ = true;
        return 0;
    }
    cached_ -= code.bits;
    colour = static_cast<std::uint8_t>(code.colour);
    return code.length;
}

// DVD form run: a 4, 8, 12 or 16-bit code, length above the 2 colour bits; length 0 means
// the rest of the line.
std::uint32_t SubpictureFieldReader::dvdRun(std::uint8_t& colour) {
    std::uint32_t code = bits(4);
    for (std::uint32_t limit = 0x4; limit <= 0x40 && code < limit; limit <<= 2)
        code = code << 4 | bits(4);
    colour = static_cast<std::uint8_t>(code & 3);
    return code >> 2 == 0 ? HdRunCode::kToLineEnd : code >> 2;
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

}  // namespace tarnwell
