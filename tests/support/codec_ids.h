#pragma once
// The ids each codec owns, for checking the rebuild's renumbering from outside: a renumbered
// stream stays among its codec's ids.

#include <optional>

namespace tarnwell::testing {

struct CodecIds {
    int first;
    int last;
    bool contains(int id) const { return id >= first && id <= last; }
};

// The codec of a code the pack rule renumbers (stream id, substream id or
// stream_id_extension), or nothing for a code it never renumbers.
inline std::optional<CodecIds> codecIdsOf(int code) {
    static const CodecIds kCodecs[] = {
        {0x55, 0x56}, {0xE0, 0xE1}, {0xE2, 0xE3},                              // video
        {0xC0, 0xCF}, {0xD0, 0xD7}, {0xD8, 0xDF}, {0x80, 0x87}, {0x88, 0x8F},  // audio
        {0xA0, 0xA7}, {0xB0, 0xB7},                                            //
        {0x20, 0x2F}, {0x60, 0x6F},                                            // subpicture
    };
    for (const auto& codec : kCodecs)
        if (codec.contains(code)) return codec;
    return std::nullopt;
}

}  // namespace tarnwell::testing
