#pragma once
// The user's choice of streams: 40 slots (video 0..7, audio 0..15, subpicture 0..15), each
// with Enabled, Checked, Caption and Hint. The window shows one check box per slot; the
// scan loop, the Demux job and the rebuild read the Checked fields while they run.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/slot_limits.h"
#include "engine/stream_table.h"

namespace tarnwell {

enum class SlotField : std::uint8_t { Enabled, Checked, Caption, Hint };

struct SelectionSlot {
    bool Enabled = false;
    bool Checked = false;
    std::string Caption;
    std::string Hint;
};

// Told of every field change, and of every change of a Checked field (`cbVideoClick`).
class SelectionObserver {
  public:
    virtual ~SelectionObserver() = default;
    virtual void slotChanged(SlotKind /*kind*/, int /*n*/, SlotField /*field*/) {}
    // Runs after a slot's Checked field really changed, by a click or by the model.
    virtual void cbVideoClick() {}
};

// Type captions of StreamTable codes; empty for a code outside the table.
std::string VideoTypeCaption(std::int32_t code);
std::string AudioTypeCaption(std::int32_t code);
std::string SubTypeCaption(std::int32_t code);

// A slot's number as every name of it shows it: one digit for video ("1"), two for audio and
// subpicture ("03"), as in the captions ("DD+.stream.03") and the delay lines.
std::string slotDigits(SlotKind kind, int n);
// A slot's name on the command line and in read --json: "video0", "audio03", "sub15".
std::string slotName(SlotKind kind, int n);

class StreamSelection {
  public:
    static constexpr int slotCount(SlotKind kind) {
        return kind == SlotKind::Video   ? kVideoSlots
               : kind == SlotKind::Audio ? kAudioSlots
                                         : kSubSlots;
    }

    // The design state: all slots disabled and unchecked, with the design captions.
    StreamSelection();

    void addObserver(SelectionObserver* observer);
    void removeObserver(SelectionObserver* observer);

    const SelectionSlot& slot(SlotKind kind, int n) const;

    // Field setters; each notifies only on a real change. `setChecked` runs `cbVideoClick`.
    void setEnabled(SlotKind kind, int n, bool enabled);
    void setChecked(SlotKind kind, int n, bool checked);
    void setCaption(SlotKind kind, int n, std::string_view caption);
    void setHint(SlotKind kind, int n, std::string_view hint);
    // A user's click: flips Checked of an enabled slot; a disabled slot ignores it.
    void click(SlotKind kind, int n);

    // Every slot disabled, with its group's no-stream caption; Checked and Hint stay.
    void Resetcbs();
    // After a scan: slots video 0..1, audio 0..15, subpicture 0..15 from the table.
    void FillFromStreamTable(const StreamTable& table);
    // The playlist reader marks a slot as present with its track text.
    void MarkFromPlaylist(SlotKind kind, int n, std::string_view text);

    // Every slot's fields as in `saved` (through the setters, so the observers hear of each
    // change); the observers stay this selection's.
    void restore(const StreamSelection& saved);

    // Consumers read Checked alone. Out-of-range slots read as unchecked.
    bool IsChecked(SlotKind kind, int n) const {
        if (n < 0 || n >= slotCount(kind)) return false;
        return group(kind)[n].Checked;
    }
    const std::string& Caption(SlotKind kind, int n) const { return slot(kind, n).Caption; }
    bool AnyChecked() const;

  private:
    SelectionSlot* group(SlotKind kind);
    const SelectionSlot* group(SlotKind kind) const;
    SelectionSlot& at(SlotKind kind, int n);
    void notify(SlotKind kind, int n, SlotField field);

    std::array<SelectionSlot, kVideoSlots> video_;
    std::array<SelectionSlot, kAudioSlots> audio_;
    std::array<SelectionSlot, kSubSlots> sub_;
    std::vector<SelectionObserver*> observers_;
};

}  // namespace tarnwell
