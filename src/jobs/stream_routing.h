#pragma once
// The Demux job's routing: a slot is written while its box is ticked, by default into its
// open output slot (`VideoOut`, `AudioOut`, `SubOut`, time stamps into `SubPtsOut`). The job
// may give a slot another output instead; the box still decides whether it is written.

#include <array>
#include <vector>

#include "engine/engine_state.h"
#include "engine/output_routing.h"
#include "selection/stream_selection.h"

namespace tarnwell {

class StreamRouting final : public OutputRouting {
  public:
    StreamRouting(const StreamSelection& selection, EngineState& state);

    // Slot n of `kind` goes to `output` (nullptr: back to its file) while its box is ticked.
    void setOutput(SlotKind kind, int n, PayloadOutput* output);

    PayloadOutput* payload(SlotKind kind, int n) override;
    OutputFile* timeStamps(int n) override;
    bool videoSelected(int n) const override;
    void flush() override;

  private:
    static int limit(SlotKind kind);
    static int index(SlotKind kind, int n);

    const StreamSelection& selection_;
    EngineState& state_;
    // Video, then audio, then subpicture slots.
    std::vector<FileOutput> files_;
    std::array<PayloadOutput*, kVideoOutputs + kAudioSlots + kSubSlots> chosen_{};
};

}  // namespace tarnwell
