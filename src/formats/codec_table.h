#pragma once
// The codecs a stream table code stands for, and everything the program says about each: the
// codes it has for each use, where its packets carry the code, the check box caption, the name
// in the "found!" log line, the Matroska-ready file extension and the name for scripts. The
// parser, the selection's captions, the rebuild's pack filter, the output names, read --json
// and the WAV rule all read this one table.

#include <cstdint>
#include <string_view>

#include "formats/slot_limits.h"

namespace tarnwell {

enum class Codec : std::uint8_t {
    Mpeg2,
    H264,
    Vc1,
    DD,
    DtsHd,
    DDPlus,
    Lpcm,
    Mlp,
    Subpicture,
    ExtSubpicture,
};

// Where a stream's packets carry its code.
enum class CodeAt : std::uint8_t {
    StreamId,   // the PES stream id
    Extension,  // the stream_id_extension of stream id 0xFD
    Substream,  // the substream id of private stream 1 (0xBD)
};

struct CodeRange {
    std::int32_t first;  // inclusive
    std::int32_t last;
    constexpr bool contains(std::int32_t code) const { return code >= first && code <= last; }
};

// The uses whose ranges differ. The scan enters every 5-bit subpicture number in the stream
// table, but only numbers 0..15 have a check box: captions and the rebuild know the
// subpicture codes of those alone.
enum class CodeUse : std::uint8_t {
    Found,      // the scan enters the code in the stream table; stream number = code - first
    Captioned,  // the selection gives the code a type caption
    Rebuilt,    // the rebuild filters the code's packs and renumbers it within the range
};

struct CodecRow {
    Codec codec;
    SlotKind kind;
    CodeAt codeAt;
    CodeRange found;
    CodeRange captioned;
    CodeRange rebuilt;
    std::string_view caption;    // "DTSHD.stream"
    std::string_view logName;    // "DTS HD audio" stream 0 found!
    std::string_view extension;  // of a Matroska-ready file
    std::string_view jsonName;   // read --json

    constexpr const CodeRange& range(CodeUse use) const {
        return use == CodeUse::Found ? found : use == CodeUse::Captioned ? captioned : rebuilt;
    }
};

// Matroska-ready subpictures are PGS files, whatever the stream's code.
inline constexpr std::string_view kPgsExtension = "sup";

// Per row: codec, slot kind, where the code sits, the found, captioned and rebuilt ranges;
// then caption, log name, extension and JSON name.
// clang-format off
inline constexpr CodecRow kCodecs[] = {
    {Codec::Mpeg2, SlotKind::Video, CodeAt::StreamId, {0xE0, 0xE1}, {0xE0, 0xE1}, {0xE0, 0xE1},
     "MPEG-2.stream", "MPEG-2 video", "m2v", "MPEG-2"},
    {Codec::H264, SlotKind::Video, CodeAt::StreamId, {0xE2, 0xE3}, {0xE2, 0xE3}, {0xE2, 0xE3},
     "H.264.stream", "H.264 video", "h264", "H.264"},
    {Codec::Vc1, SlotKind::Video, CodeAt::Extension, {0x55, 0x56}, {0x55, 0x56}, {0x55, 0x56},
     "VC-1.stream", "VC-1 video", "vc1", "VC-1"},
    {Codec::DD, SlotKind::Audio, CodeAt::Substream, {0x80, 0x87}, {0x80, 0x87}, {0x80, 0x87},
     "DD.stream", "DD audio", "ac3", "DD"},
    {Codec::DtsHd, SlotKind::Audio, CodeAt::Substream, {0x88, 0x8F}, {0x88, 0x8F}, {0x88, 0x8F},
     "DTSHD.stream", "DTS HD audio", "dts", "DTS-HD"},
    {Codec::DDPlus, SlotKind::Audio, CodeAt::Substream, {0xC0, 0xCF}, {0xC0, 0xCF}, {0xC0, 0xCF},
     "DD+.stream", "DD+ audio", "eac3", "DD+"},
    {Codec::Lpcm, SlotKind::Audio, CodeAt::Substream, {0xA0, 0xA7}, {0xA0, 0xA7}, {0xA0, 0xA7},
     "LPCM.stream", "LPCM audio", "wav", "LPCM"},
    {Codec::Mlp, SlotKind::Audio, CodeAt::Substream, {0xB0, 0xB7}, {0xB0, 0xB7}, {0xB0, 0xB7},
     "MLP.stream", "MLP audio", "thd", "MLP"},
    {Codec::Subpicture, SlotKind::Subpicture, CodeAt::Substream,
     {0x20, 0x3F}, {0x20, 0x2F}, {0x20, 0x2F},
     "Subpicture", "Subpicture", kPgsExtension, "Subpicture"},
    {Codec::ExtSubpicture, SlotKind::Subpicture, CodeAt::Substream,
     {0x60, 0x7F}, {0x60, 0x6F}, {0x60, 0x6F},
     "Ext.Subpicture", "Extended subpicture", kPgsExtension, "Ext.Subpicture"},
};
// clang-format on

// The codec of a code in a slot of that kind, for that use; nullptr for a code outside it.
// The ranges of one kind and use never overlap.
constexpr const CodecRow* codecFor(CodeUse use, SlotKind kind, std::int32_t code) {
    for (const auto& row : kCodecs)
        if (row.kind == kind && row.range(use).contains(code)) return &row;
    return nullptr;
}

}  // namespace tarnwell
