#pragma once
// The stream check boxes as a view of the stream selection: each box shows its slot (enabled,
// checked, caption, hint) whenever the slot changes, and a click goes to the selection, which
// decides what the box then shows.

#include <algorithm>
#include <array>

#include "selection/stream_selection.h"

class QCheckBox;

namespace tarnwell {

class StreamBoxes : private SelectionObserver {
  public:
    explicit StreamBoxes(StreamSelection& selection) : selection_(selection) {}
    ~StreamBoxes() override;
    StreamBoxes(const StreamBoxes&) = delete;
    StreamBoxes& operator=(const StreamBoxes&) = delete;

    // Takes the box of a slot; its clicks go to the selection from now on.
    void attach(SlotKind kind, int n, QCheckBox* box);
    // Shows every slot and follows the selection from now on.
    void bind();

    // The box of a slot; null outside the slots of its kind.
    QCheckBox* box(SlotKind kind, int n) const;

  private:
    void slotChanged(SlotKind kind, int n, SlotField field) override;
    void show(SlotKind kind, int n);

    StreamSelection& selection_;
    // By kind, then slot number; the largest group sets the row length.
    std::array<std::array<QCheckBox*, std::max({kVideoSlots, kAudioSlots, kSubSlots})>, 3> boxes_{};
    bool bound_ = false;
};

}  // namespace tarnwell
