// The pack rule over arbitrary packs, stream tables and selections, with the selection
// changing between packs as a user may change it while a rebuild runs. Every pack is judged
// twice from the same renumbering: once with stale bytes of earlier packs beyond its length
// and once with zeros there; decisions, bytes and numbering must agree, and the stale bytes
// must stay untouched. After every pack, no kept stream may hold an id outside its codec's
// range or one that another stream already holds.
//
// Input: 34 bytes of stream table (video 0..1, audio 0..15, subpicture 0..15; 0xFF = no
// stream, 0xFE = marked by a playlist), 5 bytes of ticked slots, then packs, each one
// control byte (bit 7: toggle the slot numbered by bits 0..5 first; bit 6: a short pack
// whose length follows in two bytes) and the pack's bytes.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/stream_table.h"
#include "fuzz_support.h"
#include "rebuild/pack_rules.h"
#include "selection/stream_selection.h"
#include "support/codec_ids.h"

namespace {

using namespace tarnwell;

void checkNumbering(const RenumberingState& ids) {
    std::array<int, 256> holder;
    holder.fill(-1);
    for (int code = 0; code < 256; ++code) {
        const int newId = ids.NewIds[code];
        if (newId == kNoNewId) continue;
        const auto codec = testing::codecIdsOf(code);
        if (!codec)
            fuzz::finding("a code outside every codec got a new id: " + std::to_string(code));
        if (!codec->contains(newId))
            fuzz::finding("stream " + std::to_string(code) + " renumbered out of its codec");
        if (holder[newId] >= 0)
            fuzz::finding("streams " + std::to_string(holder[newId]) + " and " +
                          std::to_string(code) + " share a new id");
        holder[newId] = code;
    }
}

SlotKind slotKind(int slot) {
    return slot < 2 ? SlotKind::Video : slot < 18 ? SlotKind::Audio : SlotKind::Subpicture;
}
int slotNumber(int slot) {
    return slot < 2 ? slot : slot < 18 ? slot - 2 : slot - 18;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputReader input(data, size);
    StreamTable table;
    for (int slot = 0; slot < 34; ++slot) {
        const std::uint8_t code = input.byte();
        const std::int32_t value = code == 0xFF ? -1 : code == 0xFE ? 1 : code;
        const int n = slotNumber(slot);
        (slotKind(slot) == SlotKind::Video   ? table.VideoIds[n]
         : slotKind(slot) == SlotKind::Audio ? table.AudioIds[n]
                                             : table.SubIds[n]) = value;
    }
    StreamSelection selection;
    const std::uint64_t ticked = std::uint64_t{input.byte()} << 32 | input.bits(4);
    for (int slot = 0; slot < 34; ++slot)
        selection.setChecked(slotKind(slot), slotNumber(slot), (ticked >> slot & 1) != 0);

    RenumberingState stale;
    RenumberingState zeroed;
    PackRules staleRules(table, selection, stale);
    PackRules zeroedRules(table, selection, zeroed);
    // The stale buffer keeps whatever the packs before left in it, as the rebuild's does.
    std::array<std::uint8_t, kPackSize> staleBuffer{};
    std::array<std::uint8_t, kPackSize> zeroBuffer{};

    while (input.restSize() > 0) {
        const std::uint8_t control = input.byte();
        if (control & 0x80) {
            const int slot = (control & 0x3F) % 34;
            selection.setChecked(slotKind(slot), slotNumber(slot),
                                 !selection.IsChecked(slotKind(slot), slotNumber(slot)));
        }
        const std::size_t wanted = (control & 0x40) ? input.bits(2) % (kPackSize + 1) : kPackSize;
        const fuzz::Bytes pack = input.take(wanted);
        const std::size_t n = pack.size();

        std::copy(pack.begin(), pack.end(), staleBuffer.begin());
        zeroBuffer.fill(0);
        std::copy(pack.begin(), pack.end(), zeroBuffer.begin());
        const std::array<std::uint8_t, kPackSize> before = staleBuffer;

        const bool keptStale = staleRules.RebuildPack(staleBuffer.data(), n);
        const bool keptZeroed = zeroedRules.RebuildPack(zeroBuffer.data(), n);
        if (keptStale != keptZeroed)
            fuzz::finding("stale bytes beyond the pack changed the verdict");
        if (std::memcmp(staleBuffer.data(), zeroBuffer.data(), n) != 0)
            fuzz::finding("stale bytes beyond the pack changed its bytes");
        if (std::memcmp(staleBuffer.data() + n, before.data() + n, kPackSize - n) != 0)
            fuzz::finding("bytes beyond the pack were written");
        if (stale.NewIds != zeroed.NewIds || stale.NextVideoNo != zeroed.NextVideoNo ||
            stale.NextAudioNo != zeroed.NextAudioNo || stale.NextSubNo != zeroed.NextSubNo)
            fuzz::finding("stale bytes beyond the pack changed the numbering");
        checkNumbering(stale);
    }
    return 0;
}
