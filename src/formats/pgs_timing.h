#pragma once
// When each unit of one subpicture stream is shown and cleared in a PGS file. Times count in
// 90 kHz ticks from the origin (the first PTS of video stream 0), 33-bit wrap-aware, and fit
// 32 bits. A unit without a stop command is cleared when the next unit shows, or
// kDefaultShowTicks after its start when it is the last; a clear that would come after the
// next unit's start comes at that start. Units before the origin, and units that start before
// the unit shown before them (damage moved their time stamp), are skipped, so the times in the
// file never go back.

#include <cstdint>
#include <optional>
#include <string_view>

namespace tarnwell {

class PgsTiming {
  public:
    static constexpr std::int64_t kDefaultShowTicks = 5 * 90000;

    explicit PgsTiming(std::int64_t originPts) : originPts_(originPts) {}

    // Where a unit goes in the file: first the clear still owed for the unit before (if any),
    // then its own showing; or, when `skipped` names a reason, nowhere.
    struct Placement {
        std::string_view skipped;
        std::optional<std::uint32_t> clearBefore;
        std::uint32_t show = 0;
    };
    // The unit at `pts` with its delays in display sequence delay units (`stopDelay` -1: no
    // stop command). A skipped unit changes nothing.
    Placement place(std::int64_t pts, std::int64_t startDelay, std::int64_t stopDelay);
    // The clear still owed for the last unit shown, if any; none is owed after it.
    std::optional<std::uint32_t> finish();

  private:
    std::int64_t originPts_;
    bool clearOwed_ = false;
    std::optional<std::uint32_t> clearTime_;  // of the clear owed; none: the unit has no stop
    std::uint32_t shownAt_ = 0;
};

}  // namespace tarnwell
