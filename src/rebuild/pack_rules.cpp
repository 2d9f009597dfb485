#include "rebuild/pack_rules.h"

#include "engine/pack_layout.h"

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

IdRange videoRange(std::uint8_t code) {
    if (code == 0x55 || code == 0x56) return {0x55, 0x56};
    return {static_cast<std::uint8_t>(code & 0xFE), static_cast<std::uint8_t>(code | 0x01)};
}

IdRange audioRange(std::uint8_t code) {
    if ((code & 0xF0) == 0xC0) return {0xC0, 0xCF};
    return {static_cast<std::uint8_t>(code & 0xF8), static_cast<std::uint8_t>(code | 0x07)};
}

// Subpicture ids are renumbered within the 16 ids that the selection and the filter know,
// so a renumbered stream never meets one that is copied with its id (0x30..0x3F, 0x70..0x7F).
IdRange subRange(std::uint8_t code) {
    return {static_cast<std::uint8_t>(code & 0xF0), static_cast<std::uint8_t>(code | 0x0F)};
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

// The filter: which packs belong to a stream of the selection, and where its id lies.
enum class IdAt : std::uint8_t { Substream, StreamId };

struct FilterRow {
    std::uint8_t streamIdFirst;
    std::uint8_t streamIdLast;
    IdAt idAt;
    std::uint8_t codeFirst;
    std::uint8_t codeLast;
    SlotKind group;
};

// Exclusive rows; the first that matches decides. The byte after the PES header is the
// substream id of private stream 1; for 0xFD the last header byte is the stream_id_extension.
constexpr FilterRow kFilter[] = {
    {0xBD, 0xBD, IdAt::Substream, 0xC0, 0xCF, SlotKind::Audio},       // DD+
    {0xBD, 0xBD, IdAt::Substream, 0x88, 0x8F, SlotKind::Audio},       // DTS-HD
    {0xBD, 0xBD, IdAt::Substream, 0x20, 0x2F, SlotKind::Subpicture},  // subpicture
    {0xBD, 0xBD, IdAt::Substream, 0x80, 0x87, SlotKind::Audio},       // DD
    {0xBD, 0xBD, IdAt::Substream, 0xA0, 0xA7, SlotKind::Audio},       // LPCM
    {0xBD, 0xBD, IdAt::Substream, 0xB0, 0xB7, SlotKind::Audio},       // MLP
    {0xBD, 0xBD, IdAt::Substream, 0x60, 0x6F, SlotKind::Subpicture},  // extended subpicture
    {0xFD, 0xFD, IdAt::Substream, 0x55, 0x56, SlotKind::Video},       // VC-1
    {0xE0, 0xE3, IdAt::StreamId, 0xE0, 0xE3, SlotKind::Video},        // MPEG-2, H.264
    {0xC0, 0xDF, IdAt::StreamId, 0xC0, 0xDF, SlotKind::Audio},        // audio under its own id
};

}  // namespace

bool PackRules::DropVideo(std::uint8_t code) {
    const int n = findSlot(table_.VideoIds, kVideoOutputs, code);
    const bool drop = n >= 0 && !selection_.IsChecked(SlotKind::Video, n);
    if (!drop && ids_.NewIds[code] == kNoNewId) {
        const int numbered = (code == 0x55 || code == 0x56) ? 0x55 + ids_.NextVideoNo
                                                            : ((code & 0xFE) | ids_.NextVideoNo);
        ids_.NewIds[code] = chooseNewId(ids_, code, numbered, videoRange(code));
        ++ids_.NextVideoNo;
    }
    return drop;
}

bool PackRules::DropAudio(std::uint8_t code) {
    const int n = findSlot(table_.AudioIds, kAudioSlots, code);
    const bool drop = n >= 0 && !selection_.IsChecked(SlotKind::Audio, n);
    if (!drop && ids_.NewIds[code] == kNoNewId) {
        const int numbered =
            (code & 0xF0) == 0xC0 ? (0xC0 | ids_.NextAudioNo) : ((code & 0xF8) | ids_.NextAudioNo);
        ids_.NewIds[code] = chooseNewId(ids_, code, numbered, audioRange(code));
        ++ids_.NextAudioNo;
    }
    return drop;
}

bool PackRules::DropSub(std::uint8_t code) {
    const int n = findSlot(table_.SubIds, kSubSlots, code);
    const bool drop = n >= 0 && !selection_.IsChecked(SlotKind::Subpicture, n);
    if (!drop && ids_.NewIds[code] == kNoNewId) {
        const int numbered = (code & 0xE0) | ids_.NextSubNo;
        ids_.NewIds[code] = chooseNewId(ids_, code, numbered, subRange(code));
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

    for (const auto& row : kFilter) {
        if (id < row.streamIdFirst || id > row.streamIdLast) continue;
        const std::uint8_t code = row.idAt == IdAt::Substream ? sub : id;
        if (code < row.codeFirst || code > row.codeLast) continue;
        bool drop = false;
        switch (row.group) {
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
        put(row.idAt == IdAt::Substream ? subOffset : kStreamIdOffset, ids_.NewIds[code]);
        return true;
    }
    return true;
}

}  // namespace tarnwell
