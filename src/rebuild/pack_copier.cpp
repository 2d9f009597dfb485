#include "rebuild/pack_copier.h"

namespace tarnwell {

PackCopier::PackCopier(InputFile& input, std::span<std::uint8_t> buffer, OutputFile& output)
    : packs_(input, buffer, kPackBytes), output_(output) {}

std::span<std::uint8_t> PackCopier::next() {
    pack_ = packs_.next([this] { flush(); });
    return pack_;
}

void PackCopier::keep() {
    // A kept pack that doesn't follow the run in the buffer starts a new run.
    if (pack_.data() != runEnd_) {
        flush();
        runStart_ = pack_.data();
    }
    runEnd_ = pack_.data() + pack_.size();
}

void PackCopier::flush() {
    if (runEnd_ != runStart_)
        output_.write(runStart_, static_cast<std::size_t>(runEnd_ - runStart_));
    runStart_ = runEnd_ = nullptr;
}

}  // namespace tarnwell
