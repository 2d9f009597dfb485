#include "rebuild/pack_copier.h"

#include <algorithm>
#include <cstring>

namespace tarnwell {

PackCopier::PackCopier(InputFile& input, OutputFile& output)
    : input_(input),
      output_(output),
      block_(std::make_unique_for_overwrite<std::uint8_t[]>(kBlockBytes)),
      position_(input.position()) {}

std::span<std::uint8_t> PackCopier::next() {
    packAt_ = packEnd_;
    if (filled_ - packAt_ < kPackBytes) refill();
    const std::size_t n = std::min(kPackBytes, filled_ - packAt_);
    packEnd_ = packAt_ + n;
    position_ += static_cast<std::int64_t>(n);
    return {block_.get() + packAt_, n};
}

void PackCopier::refill() {
    flush();
    // A part of a pack left at the end of the block (only after a short read) moves to the
    // front, to be completed by the next read as one 2048-byte read would have been.
    const std::size_t left = filled_ - packAt_;
    if (left > 0) std::memmove(block_.get(), block_.get() + packAt_, left);
    filled_ = left;
    packAt_ = packEnd_ = 0;
    while (filled_ < kPackBytes) {
        const auto n =
            input_.read(block_.get() + filled_, static_cast<std::int64_t>(kBlockBytes - filled_));
        if (n <= 0) break;
        filled_ += static_cast<std::size_t>(n);
    }
}

void PackCopier::keep() {
    if (runEnd_ != packAt_ || runEnd_ == runAt_) {
        flush();
        runAt_ = packAt_;
    }
    runEnd_ = packEnd_;
}

void PackCopier::flush() {
    if (runEnd_ > runAt_) output_.write(block_.get() + runAt_, runEnd_ - runAt_);
    runAt_ = runEnd_ = 0;
}

}  // namespace tarnwell
