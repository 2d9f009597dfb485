#include "formats/pgs_timing.h"

#include <algorithm>

#include "formats/pts.h"
#include "formats/subpicture_decoder.h"

namespace tarnwell {

namespace {

PgsTiming::Placement skip(std::string_view reason) {
    PgsTiming::Placement placement;
    placement.skipped = reason;
    return placement;
}

}  // namespace

PgsTiming::Placement PgsTiming::place(std::int64_t pts, std::int64_t startDelay,
                                      std::int64_t stopDelay) {
    const std::int64_t start = ptsDistance(pts, originPts_) + startDelay * kSubpictureDelayTicks;
    if (start < 0 || start > 0xFFFFFFFF) return skip("outside the video's time line");
    const auto shown = static_cast<std::uint32_t>(start);
    // Time never goes back in the file: the clear of the unit before would come before its
    // showing.
    if (clearOwed_ && shown < shownAt_) return skip("starts before the unit before it");
    Placement placement;
    if (clearOwed_) placement.clearBefore = clearTime_ ? std::min(*clearTime_, shown) : shown;
    placement.show = shown;
    shownAt_ = shown;
    clearOwed_ = true;
    clearTime_.reset();
    if (stopDelay >= 0) {
        const std::int64_t stop = start + (stopDelay - startDelay) * kSubpictureDelayTicks;
        clearTime_ = static_cast<std::uint32_t>(std::clamp<std::int64_t>(stop, start, 0xFFFFFFFF));
    }
    return placement;
}

std::optional<std::uint32_t> PgsTiming::finish() {
    if (!clearOwed_) return std::nullopt;
    clearOwed_ = false;
    return clearTime_.value_or(static_cast<std::uint32_t>(
        std::min<std::int64_t>(shownAt_ + kDefaultShowTicks, 0xFFFFFFFF)));
}

}  // namespace tarnwell
