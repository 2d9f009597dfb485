#include "io/read_ahead.h"

#include <algorithm>
#include <cstring>

namespace tarnwell {

ReadAhead::ReadAhead(InputFile& input, std::span<std::uint8_t> buffer, std::size_t blockSize)
    : input_(input), buffer_(buffer), blockSize_(blockSize), position_(input.position()) {}

void ReadAhead::refill() {
    // The part of a block left at the end (only after a short read) moves to the front, to be
    // completed by the next read.
    const std::size_t left = filled_ - blockEnd_;
    std::memmove(buffer_.data(), buffer_.data() + blockEnd_, left);
    filled_ = left;
    blockEnd_ = 0;
    while (filled_ < blockSize_) {
        const auto n = input_.read(buffer_.data() + filled_,
                                   static_cast<std::int64_t>(buffer_.size() - filled_));
        if (n <= 0) break;
        filled_ += static_cast<std::size_t>(n);
    }
}

std::span<std::uint8_t> ReadAhead::take() {
    const std::size_t start = blockEnd_;
    const std::size_t size = std::min(blockSize_, filled_ - start);
    blockEnd_ = start + size;
    position_ += static_cast<std::int64_t>(size);
    return buffer_.subspan(start, size);
}

}  // namespace tarnwell
