#pragma once
// Program stream inputs that try the parser's rules at their edges: random bytes, bytes full
// of start codes, PES packets with wrong lengths and every flag, every substream id, packets
// across block boundaries and packets without payload. Every maker is driven by the caller's
// seeded generator, so an input is reproduced from its seed.

#include <cstddef>
#include <random>
#include <vector>

#include "evo_builder.h"

namespace tarnwell::testing::adversarial {

using fixture::Bytes;
using Random = std::mt19937;

// Every byte value equally likely.
Bytes uniformBytes(Random& random, std::size_t size);
// Bytes drawn mostly from start code pieces, stream ids, substream ids and small lengths, so
// that packets start, end and break off everywhere.
Bytes alphabetBytes(Random& random, std::size_t size);
// One PES packet whose every field may be wrong: header length shorter or longer than its
// fields, packet length from 0 to past its end, any substream id, a start code dropped in,
// cut short.
Bytes roguePacket(Random& random);
// One whole packet of a known stream with frame codes or noise as payload, often with a PTS.
Bytes wellFormedPacket(Random& random);
// Well-formed and rogue packets, pack and system headers, padding, navigation data and junk.
Bytes pesFragments(Random& random, std::size_t size);
// Private stream 1 packets with the substream ids in `order`, with and without a PTS, now and
// then followed by a video packet with a PTS.
Bytes everySubstreamId(Random& random, const std::vector<int>& order);
// Packets placed so that their start code, length, header, substream header or payload
// crosses one of the first `blocks` 32768-byte block boundaries.
Bytes acrossBoundaries(Random& random, int blocks);
// Packets whose length field leaves no payload (or ends before the header does), each followed
// by bytes that make a packet only when the byte after the header enters the window twice.
Bytes withoutPayload(Random& random, std::size_t count);
// Raw packets over all combinations of the flag bits the parser reads, with the header length
// from two short of its fields to three past them.
Bytes everyFlagCombination(Random& random);

}  // namespace tarnwell::testing::adversarial
