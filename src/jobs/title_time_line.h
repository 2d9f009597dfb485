#pragma once
// A title's time line over the EVO files of its clips, learned during the demux itself (no
// pass of its own): per clip and written stream the first and last time stamps, and the first
// PTS of video stream 0 that places the clip on the title. A PTS p of clip k stands at
//   title_begin(k) - title_begin(0) + (p - first video PTS of clip k)
// on the title, so the result is the same whether the files' time stamps run on or start
// again at each clip. Until a clip's first video PTS is seen, the first PTS of any stream in
// that clip stands in for it. Every PTS is taken as 33 bits, wrap-aware.

#include <array>
#include <cstdint>
#include <vector>

#include "engine/engine_state.h"
#include "engine/output_routing.h"
#include "jobs/continuation.h"

namespace tarnwell {

// The gap (positive) or overlap (negative) in ms between the end of one stream in a clip and
// its start in the next, on the title's time line. A stream ends one packet step (the
// distance of its last two time stamps in the clip) after its last time stamp.
struct SeamFigure {
    int seam = 0;  // 1: between the first clip and the second
    SlotKind kind = SlotKind::Video;
    int number = 0;
    std::int64_t gapMs = 0;
    bool operator==(const SeamFigure&) const = default;
};

class TitleTimeLine {
  public:
    // `clipOffsetsNs`: title_begin(k) - title_begin(0) per clip, in ns.
    TitleTimeLine(const ClipList& clips, const std::vector<std::int64_t>& clipOffsetsNs);

    // A packet of slot n in the clip in `InFile` now; `written` when its stream is demuxed.
    void see(SlotKind kind, int n, const PacketInfo& packet, bool written);
    // A PTS of the current clip as a PTS of the first clip's time line (unchanged there).
    std::int64_t titlePts(std::int64_t pts);
    // Per seam, per written video and audio stream present on both sides, in slot order.
    std::vector<SeamFigure> seams() const;

    static constexpr int kSlots = kVideoOutputs + kAudioSlots + kSubSlots;
    // Video, then audio, then subpicture slots; -1 beyond the slots that have outputs.
    static int slotIndex(SlotKind kind, int n);

  private:
    struct Times {
        std::int64_t first = -1, last = -1, previous = -1;
    };
    struct Clip {
        std::array<Times, kSlots> times{};
        std::int64_t anyFirst = -1;  // the first PTS of any stream
        std::int64_t origin = -1;    // fixed at the first mapping or the first video PTS
        std::int64_t offsetTicks = 0;
    };
    static std::int64_t origin(Clip& clip);

    const ClipList& clips_;
    std::vector<Clip> clip_;
    std::array<bool, kSlots> written_{};
};

// The engine's routing for a title: every payload goes through the time line on its way to the
// output that the job's own routing names, and subpicture time stamps are moved onto the
// first clip's time line. Video stream 0 is seen even when it is not written.
class TitleRouting final : public OutputRouting {
  public:
    TitleRouting(OutputRouting& inner, TitleTimeLine& timeLine);
    PayloadOutput* payload(SlotKind kind, int n) override;
    OutputFile* timeStamps(int n) override { return inner_.timeStamps(n); }
    bool videoSelected(int n) const override { return inner_.videoSelected(n); }
    void flush() override { inner_.flush(); }

  private:
    class Seen final : public PayloadOutput {
      public:
        void write(std::span<const std::uint8_t> chunk, const PacketInfo& packet) override;
        TitleTimeLine* timeLine = nullptr;
        PayloadOutput* output = nullptr;  // nullptr: seen, not written
        SlotKind kind = SlotKind::Video;
        int number = 0;
    };
    OutputRouting& inner_;
    TitleTimeLine& timeLine_;
    std::vector<Seen> seen_;
};

}  // namespace tarnwell
