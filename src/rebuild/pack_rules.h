#pragma once
// The rule the rebuild applies to each 2048-byte pack: whether it goes into the rebuilt file,
// the new id of its stream, and the stream counts of a system header. It works on byte
// buffers only; the selection and the stream table are read afresh for every pack, so a
// change made while the rebuild runs takes effect from the next pack.

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/stream_table.h"
#include "selection/stream_selection.h"

namespace tarnwell {

inline constexpr std::size_t kPackSize = 2048;
inline constexpr std::uint8_t kNoNewId = 0xFF;

// The renumbering of one rebuild command, kept across both files of a continuation.
struct RenumberingState {
    // New id by old stream id, substream id or stream_id_extension; kNoNewId = no entry yet.
    // One table serves all kinds: stream ids 0xC0..0xCF and substream ids 0xC0..0xCF share
    // entries.
    std::array<std::uint8_t, 256> NewIds;
    // The number the next kept stream of each group receives.
    std::uint8_t NextVideoNo = 0;
    std::uint8_t NextAudioNo = 0;
    std::uint8_t NextSubNo = 0;

    RenumberingState() { NewIds.fill(kNoNewId); }
};

class PackRules {
  public:
    PackRules(const StreamTable& table, const StreamSelection& selection, RenumberingState& ids)
        : table_(table), selection_(selection), ids_(ids) {}

    // True when packs of this code are to be left out: the code is in its stream table row
    // and that slot is unchecked. A kept code without an entry receives its new id.
    bool DropVideo(std::uint8_t code);
    bool DropAudio(std::uint8_t code);
    bool DropSub(std::uint8_t code);

    // Judges one block of n bytes read from the input (n at most 2048): true when it is to
    // be written. Renumbers the stream of a kept pack and rewrites a system header's bounds
    // in place. Bytes at or beyond n are read as zero and never written.
    bool RebuildPack(std::uint8_t* buffer, std::size_t n);

    const RenumberingState& renumbering() const { return ids_; }

  private:
    const StreamTable& table_;
    const StreamSelection& selection_;
    RenumberingState& ids_;
};

}  // namespace tarnwell
