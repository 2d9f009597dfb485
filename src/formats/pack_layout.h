#pragma once
// The fixed layout of a pack as the summary line and the pack rule read it: a pack header of
// 14 bytes (pack stuffing is not looked for), then the first packet's start code. When that
// packet is a system header, its stream bounds sit at fixed offsets too.

#include <cstddef>
#include <cstdint>

namespace tarnwell::pack {

inline constexpr std::size_t kPackHeaderSize = 14;
// The first packet's stream id, and its PES_header_data_length.
inline constexpr std::size_t kStreamIdOffset = kPackHeaderSize + 3;
inline constexpr std::size_t kHeaderLengthOffset = kPackHeaderSize + 8;
// In a system header: audio_bound in bits 7..2, video_bound in bits 4..0 of the next byte.
inline constexpr std::size_t kAudioBoundOffset = kPackHeaderSize + 9;
inline constexpr std::size_t kVideoBoundOffset = kPackHeaderSize + 10;

inline constexpr std::uint8_t kPackStart = 0xBA;
inline constexpr std::uint8_t kSystemHeader = 0xBB;
inline constexpr std::uint8_t kPrivateStream1 = 0xBD;
inline constexpr std::uint8_t kExtendedStreamId = 0xFD;

// A system header start code right after the 14-byte pack header.
inline bool hasSystemHeader(const std::uint8_t* pack) {
    return pack[kStreamIdOffset - 1] == 0x01 && pack[kStreamIdOffset] == kSystemHeader;
}

inline int videoBound(std::uint8_t videoBoundByte) {
    return videoBoundByte & 0x1F;
}
inline int audioBound(std::uint8_t audioBoundByte) {
    return audioBoundByte >> 2;
}
// The bytes with their bounds replaced and every other bit kept.
inline std::uint8_t withVideoBound(std::uint8_t videoBoundByte, int videos) {
    return static_cast<std::uint8_t>((videoBoundByte & 0xE0) + videos);
}
inline std::uint8_t withAudioBound(std::uint8_t audioBoundByte, int audios) {
    return static_cast<std::uint8_t>((audioBoundByte & 0x03) + 4 * audios);
}

}  // namespace tarnwell::pack
