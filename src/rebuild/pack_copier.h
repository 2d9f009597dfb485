#pragma once
// Carries an input file through the rebuild pack by pack: each pack of 2048 bytes (the last
// one possibly shorter) is handed out in a buffer where it may be changed, and the packs
// marked kept are appended to the output in file order. The input is read ahead in large
// blocks and runs of kept packs are written with one call each, so a pack costs no system
// call of its own; what reaches the output, and the position after each pack, are the same
// as with one 2048-byte read per pack.

#include <cstddef>
#include <cstdint>
#include <span>

#include "io/file_io.h"
#include "io/read_ahead.h"

namespace tarnwell {

class PackCopier {
  public:
    static constexpr std::size_t kPackBytes = 2048;

    PackCopier(InputFile& input, std::span<std::uint8_t> buffer, OutputFile& output);
    PackCopier(const PackCopier&) = delete;
    PackCopier& operator=(const PackCopier&) = delete;

    // The next pack: the next 2048 bytes of the input, or fewer at its end; empty when a read
    // yields nothing. Valid until the next call.
    std::span<std::uint8_t> next();
    // The pack last handed out goes to the output.
    void keep();
    // Writes the kept packs that are still held. Call before the output is closed.
    void flush();

    // Input position after the pack last handed out.
    std::int64_t position() const { return packs_.position(); }

  private:
    ReadAhead packs_;
    OutputFile& output_;
    std::span<std::uint8_t> pack_;
    const std::uint8_t* runStart_ = nullptr;  // kept packs not yet written: [runStart_, runEnd_)
    const std::uint8_t* runEnd_ = nullptr;
};

}  // namespace tarnwell
