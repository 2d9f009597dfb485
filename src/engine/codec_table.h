#pragma once
// The codecs a stream table code stands for: the one table that names them (for scripts) and
// gives their file extensions (for other tools). The check box captions are the selection's own.

#include <cstdint>
#include <string_view>

#include "engine/slot_limits.h"

namespace tarnwell {

struct CodecRange {
    SlotKind kind;
    std::int32_t first;  // codes, inclusive
    std::int32_t last;
    std::string_view name;
    std::string_view extension;
};

inline constexpr CodecRange kCodecRanges[] = {
    {SlotKind::Video, 0xE0, 0xE1, "MPEG-2", "m2v"},
    {SlotKind::Video, 0xE2, 0xE3, "H.264", "h264"},
    {SlotKind::Video, 0x55, 0x56, "VC-1", "vc1"},
    {SlotKind::Audio, 0x80, 0x87, "DD", "ac3"},
    {SlotKind::Audio, 0x88, 0x8F, "DTS-HD", "dts"},
    {SlotKind::Audio, 0xC0, 0xCF, "DD+", "eac3"},
    {SlotKind::Audio, 0xA0, 0xA7, "LPCM", "wav"},
    {SlotKind::Audio, 0xB0, 0xB7, "MLP", "thd"},
    {SlotKind::Subpicture, 0x20, 0x3F, "Subpicture", "sup"},
    {SlotKind::Subpicture, 0x60, 0x7F, "Ext.Subpicture", "sup"},
};

// The codec of a code in a slot of that kind, or nullptr for a code outside the table.
inline const CodecRange* codecOf(SlotKind kind, std::int32_t code) {
    for (const auto& range : kCodecRanges)
        if (range.kind == kind && code >= range.first && code <= range.last) return &range;
    return nullptr;
}

}  // namespace tarnwell
