#pragma once
// Hands out an input file in blocks of a fixed size (the last one shorter), reading ahead in
// large reads so that a block costs no system call of its own. Short reads are topped up, so
// block boundaries fall at the same positions on any file system. A block stays valid, and may
// be changed in place, until the buffer is refilled; `beforeRefill` runs first, so that writers
// still pointing into the buffer can finish.

#include <cstddef>
#include <cstdint>
#include <span>

#include "io/file_io.h"

namespace tarnwell {

class ReadAhead {
  public:
    // `buffer` must hold at least one block.
    ReadAhead(InputFile& input, std::span<std::uint8_t> buffer, std::size_t blockSize);

    // The next block; empty when a read yields nothing.
    template <class BeforeRefill>
    std::span<std::uint8_t> next(BeforeRefill&& beforeRefill) {
        if (filled_ - blockEnd_ < blockSize_) {
            beforeRefill();
            refill();
        }
        return take();
    }

    // Input position after the block last handed out.
    std::int64_t position() const { return position_; }

  private:
    void refill();
    std::span<std::uint8_t> take();

    InputFile& input_;
    const std::span<std::uint8_t> buffer_;
    const std::size_t blockSize_;
    std::size_t filled_ = 0;    // bytes of the buffer read from the input
    std::size_t blockEnd_ = 0;  // end of the block last handed out
    std::int64_t position_;
};

}  // namespace tarnwell
