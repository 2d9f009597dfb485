#pragma once
// Single packs made by the fixture builder, and where a pack carries its stream's id.

#include <cstdint>
#include <optional>

#include "evo_builder.h"

namespace tarnwell::testing {

using fixture::Bytes;
using fixture::StreamRef;

// One 2048-byte pack of the stream, filled with payload drawn from `seed`.
inline Bytes packOf(const StreamRef& stream, std::uint32_t seed = 1,
                    std::optional<std::uint64_t> pts = std::nullopt) {
    fixture::PackWriter writer;
    const auto capacity = fixture::PackWriter::packCapacity(stream, pts.has_value());
    writer.write(stream, fixture::randomPayload(capacity, seed + stream.code), pts);
    return writer.take();
}

// A navigation pack: pack header, system header with these bounds, private stream 2.
inline Bytes navPack(int audioBound, int videoBound) {
    fixture::PackWriter writer;
    writer.navPack(audioBound, videoBound);
    return writer.take();
}

// Where a pack's stream id lies: the substream id of private stream 1, the extension of
// 0xFD, otherwise the stream id.
inline std::size_t codeOffset(const Bytes& pack) {
    const std::uint8_t id = pack[17];
    if (id == 0xBD) return 23 + pack[22];
    if (id == 0xFD) return 22 + pack[22];
    return 17;
}

inline std::uint8_t codeOf(const Bytes& pack) {
    return pack[codeOffset(pack)];
}

inline Bytes withCode(Bytes pack, std::uint8_t code) {
    pack[codeOffset(pack)] = code;
    return pack;
}

}  // namespace tarnwell::testing
