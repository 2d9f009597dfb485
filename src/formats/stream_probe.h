#pragma once
// Whether an elementary stream file holds its stream in a form that a reader of its codec
// finds: a muxer identifies such a file by the first frame or header it meets, and refuses
// the whole job when it meets none. Judged from the start of the file.

#include <cstdint>
#include <span>
#include <string_view>

namespace tarnwell {

// How much of the start of a file the probe looks at.
inline constexpr std::size_t kStreamProbeBytes = 1 << 20;

// Why a file of `size` bytes whose first bytes are `head` holds no usable stream, for the
// codec named by its Matroska-ready extension ("m2v", "h264", "vc1", "ac3", "eac3", "dts",
// "thd", "wav", "sup"); empty when it holds one. A file of another extension is usable when
// it is not empty. For AC-3 and E-AC-3 a frame counts when the next frame's sync word follows
// at its declared size (or the file ends there): a stray sync word in other data does not.
std::string_view unusableStreamReason(std::string_view extension,
                                      std::span<const std::uint8_t> head, std::uint64_t size);

}  // namespace tarnwell
