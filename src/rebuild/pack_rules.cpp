#include "rebuild/pack_rules.h"

#include "formats/codec_table.h"
#include "formats/pack_layout.h"

namespace tarnwell {

namespace {

using pack::kHeaderLengthOffset;
using pack::kStreamIdOffset;

// The ids a codec owns, first and last inclusive.
struct IdRange {
    std::uint8_t first;
    std::uint8_t last;
    bool contains(int id) const { return id >= first && id <= last; }
};

// Audio carried under its own stream id (0xC0..0xDF) has no codec of its own: ids 0xC0..0xCF
// share the DD+ entries, and 0xD0..0xDF are renumbered within their eight.
constexpr std::uint8_t kOwnIdAudioFirst = 0xC0;
constexpr std::uint8_t kOwnIdAudioLast = 0xDF;

// The ids a kept stream is renumbered within: its codec's. Subpicture ids stay within the 16
// that the selection knows, so a renumbered stream never meets one that is copied with its id
// (0x30..0x3F, 0x70..0x7F).
IdRange renumberRange(SlotKind kind, std::uint8_t code) {
    if (const CodecRow* codec = codecFor(CodeUse::Rebuilt, kind, code))
        return {static_cast<std::uint8_t>(codec->rebuilt.first),
                static_cast<std::uint8_t>(codec->rebuilt.last)};
    return {static_cast<std::uint8_t>(code & 0xF8), static_cast<std::uint8_t>(code | 0x07)};
}

bool isHandedOut(const RenumberingState& ids, std::uint8_t id) {
    for (const auto newId : ids.NewIds)
        if (newId == id) return true;
    return false;
}

// The counter numbers kept streams in the order they first occur, one counter per group.
// A group can hold more kept streams than one codec has ids (nine DD streams, or a DD+
// stream after sixteen others): then the number would leave the codec's range or meet an id
// already given. Such a stream keeps its old id when no other stream holds it, and otherwise
// takes the lowest free id of its range. Only codes of a range ever map into it, so a free id
// is always there; no two kept streams of a file share an id.
std::uint8_t chooseNewId(const RenumberingState& ids, std::uint8_t code, int numbered,
                         IdRange range) {
    if (range.contains(numbered) && !isHandedOut(ids, static_cast<std::uint8_t>(numbered)))
        return static_cast<std::uint8_t>(numbered);
    if (!isHandedOut(ids, code)) return code;
    for (int id = range.first; id <= range.last; ++id)
        if (!isHandedOut(ids, static_cast<std::uint8_t>(id))) return static_cast<std::uint8_t>(id);
    return code;  // not reached for the codes the filter passes
}

// The first slot of `row` (limited to `slots` entries) holding `code`, or -1.
template <typename Row>
int findSlot(const Row& row, int slots, std::uint8_t code) {
    for (int n = 0; n < slots; ++n)
        if (row[n] == static_cast<std::int32_t>(code)) return n;
    return -1;
}

}  // namespace

bool PackRules::DropVideo(std::uint8_t code) {
    const int n = findSlot(table_.VideoIds, kVideoOutputs, code);
    const bool drop = n >= 0 && !selection_.IsChecked(SlotKind::Video, n);
    if (!drop && ids_.NewIds[code] == kNoNewId) {
        // VC-1's first id is odd: its number is added, not ORed.
        const CodecRow* codec = codecFor(CodeUse::Rebuilt, SlotKind::Video, code);
        const IdRange range = renumberRange(SlotKind::Video, code);
        const int numbered = codec && codec->codec == Codec::Vc1 ? range.first + ids_.NextVideoNo
                                                                 : range.first | ids_.NextVideoNo;
        ids_.NewIds[code] = chooseNewId(ids_, code, numbered, range);
        ++ids_.NextVideoNo;
    }
    return drop;
}

bool PackRules::DropAudio(std::uint8_t code) {
    const int n = findSlot(table_.AudioIds, kAudioSlots, code);
    const bool drop = n >= 0 && !selection_.IsChecked(SlotKind::Audio, n);
    if (!drop && ids_.NewIds[code] == kNoNewId) {
        const IdRange range = renumberRange(SlotKind::Audio, code);
        ids_.NewIds[code] = chooseNewId(ids_, code, range.first | ids_.NextAudioNo, range);
        ++ids_.NextAudioNo;
    }
    return drop;
}

bool PackRules::DropSub(std::uint8_t code) {
    const int n = findSlot(table_.SubIds, kSubSlots, code);
    const bool drop = n >= 0 && !selection_.IsChecked(SlotKind::Subpicture, n);
    if (!drop && ids_.NewIds[code] == kNoNewId) {
        const IdRange range = renumberRange(SlotKind::Subpicture, code);
        ids_.NewIds[code] = chooseNewId(ids_, code, range.first | ids_.NextSubNo, range);
        ++ids_.NextSubNo;
    }
    return drop;
}

bool PackRules::RebuildPack(std::uint8_t* buffer, std::size_t n) {
    // A short last block is judged on its own bytes: whatever the buffer still holds beyond
    // n from an earlier pack reads as zero and is never changed.
    const auto at = [&](std::size_t i) -> std::uint8_t { return i < n ? buffer[i] : 0; };
    const auto put = [&](std::size_t i, std::uint8_t value) {
        if (i < n) buffer[i] = value;
    };

    const std::uint8_t id = at(kStreamIdOffset);

    if (id == pack::kSystemHeader) {
        int videos = 0;
        for (int slot = 0; slot < kVideoOutputs; ++slot)
            videos += selection_.IsChecked(SlotKind::Video, slot);
        int audios = 0;
        for (int slot = 0; slot < kAudioSlots; ++slot)
            audios += selection_.IsChecked(SlotKind::Audio, slot);
        put(pack::kVideoBoundOffset, pack::withVideoBound(at(pack::kVideoBoundOffset), videos));
        put(pack::kAudioBoundOffset, pack::withAudioBound(at(pack::kAudioBoundOffset), audios));
    }

    const std::size_t headerLength = at(kHeaderLengthOffset);
    const std::size_t subOffset = id == pack::kPrivateStream1
                                      ? kHeaderLengthOffset + 1 + headerLength
                                      : kHeaderLengthOffset + headerLength;
    const std::uint8_t sub = at(subOffset);

    if (at(0) != 0x00 || at(1) != 0x00 || at(2) != 0x01 || at(3) != pack::kPackStart) return false;

    // The filter: the pack of a codec's stream is kept or dropped by its group's decision
    // and renumbered where its code sits; every other pack is copied as it is.
    const auto decide = [&](SlotKind group, std::uint8_t code, std::size_t offset) {
        bool drop = false;
        switch (group) {
            case SlotKind::Video:
                drop = DropVideo(code);
                break;
            case SlotKind::Audio:
                drop = DropAudio(code);
                break;
            case SlotKind::Subpicture:
                drop = DropSub(code);
                break;
        }
        if (drop) return false;
        put(offset, ids_.NewIds[code]);
        return true;
    };
    for (const auto& codec : kCodecs) {
        // For private stream 1 the code is the substream id after the PES header; for 0xFD,
        // the last header byte, taken as the stream_id_extension.
        const bool carried = codec.codeAt == CodeAt::StreamId    ? true
                             : codec.codeAt == CodeAt::Extension ? id == pack::kExtendedStreamId
                                                                 : id == pack::kPrivateStream1;
        const std::uint8_t code = codec.codeAt == CodeAt::StreamId ? id : sub;
        if (carried && codec.rebuilt.contains(code))
            return decide(codec.kind, code,
                          codec.codeAt == CodeAt::StreamId ? kStreamIdOffset : subOffset);
    }
    if (id >= kOwnIdAudioFirst && id <= kOwnIdAudioLast)
        return decide(SlotKind::Audio, id, kStreamIdOffset);
    return true;
}

}  // namespace tarnwell
