#pragma once
// Builds program stream bytes for tests, benchmarks, fuzz seeds and sample discs: raw PES
// packets with any header fields, private stream 1 substreams, pack and system headers, and
// a pack-level writer that lays elementary payload into 2048-byte packs as an EVO file has.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tarnwell::fixture {

using Bytes = std::vector<std::uint8_t>;

inline void append(Bytes& out, std::span<const std::uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// ---- Raw packets ----------------------------------------------------------------------

struct PesOptions {
    std::optional<std::uint64_t> pts;  // PTS_DTS_flags '10'
    std::optional<std::uint64_t> dts;  // with pts: PTS_DTS_flags '11'
    // A PES extension whose extension field 2 carries this stream_id_extension.
    std::optional<std::uint8_t> streamIdExtension;
    bool pstd = false;          // P-STD buffer field in the PES extension
    std::uint8_t stuffing = 0;  // 0xFF bytes at the end of the header
    // For malformed packets: written as given instead of the computed values.
    std::optional<std::uint16_t> packetLength;
    std::optional<std::uint8_t> headerDataLength;
};

// A 5-byte time stamp field with the given 4-bit prefix (2: PTS only, 3: PTS of PTS+DTS,
// 1: DTS).
Bytes timeStampField(std::uint64_t value, std::uint8_t prefix);

// Start code, PES_packet_length, the three fixed header bytes, the header fields, the body.
Bytes pesPacket(std::uint8_t streamId, std::span<const std::uint8_t> body,
                const PesOptions& options = {});

// Bytes of the header after the 6-byte start code and length (fixed bytes + fields).
std::size_t pesHeaderSize(const PesOptions& options);

// 14-byte MPEG-2 pack header.
Bytes packHeader(std::uint64_t scr = 0, std::uint32_t muxRate = 75600);

// System header with audio_bound and video_bound, and one entry per listed stream id.
Bytes systemHeader(int audioBound, int videoBound, std::span<const std::uint8_t> streamIds = {});

// A padding packet of exactly `totalLength` bytes (at least 6).
Bytes paddingPacket(std::size_t totalLength);

// A private stream 2 packet (navigation data) with the given body.
Bytes privateStream2(std::span<const std::uint8_t> body);

// Header bytes that precede the payload in a private stream 1 body for this substream id:
// 1 for subpictures (0x20..0x3F, 0x60..0x7F), 7 for LPCM (0xA0..0xAF), 5 for MLP
// (0xB0..0xBF), 4 otherwise.
std::size_t substreamHeaderSize(std::uint8_t substreamId);

// The LPCM header the builder writes unless told otherwise: frame 0; 16-bit, 96 kHz, 2
// channels; dynamic range byte 0x05.
using LpcmHeader = std::array<std::uint8_t, 3>;
inline constexpr LpcmHeader kDefaultLpcmHeader = {0x00, 0x11, 0x05};

// A private stream 1 body: the substream header (id, then 3, 6 or 4 filler header bytes)
// followed by the payload; an LPCM substream header ends with `lpcm`.
Bytes substreamBody(std::uint8_t substreamId, std::span<const std::uint8_t> payload,
                    const LpcmHeader& lpcm = kDefaultLpcmHeader);

// ---- Streams ---------------------------------------------------------------------------

enum class Codec {
    Mpeg2Video,     // stream id 0xE0/0xE1
    H264Video,      // stream id 0xE2/0xE3
    Vc1Video,       // stream id 0xFD, extension 0x55/0x56
    MpegAudio,      // stream id 0xC0..0xCF
    DD,             // private stream 1, 0x80..0x87
    DTSHD,          // 0x88..0x8F
    DDPlus,         // 0xC0..0xCF
    LPCM,           // 0xA0..0xA7
    MLP,            // 0xB0..0xB7
    Subpicture,     // 0x20..0x3F
    ExtSubpicture,  // 0x60..0x7F
};

struct StreamRef {
    Codec codec;
    std::uint8_t code;                           // stream id, stream_id_extension or substream id
    LpcmHeader lpcmHeader = kDefaultLpcmHeader;  // LPCM only

    std::uint8_t streamId() const;
    bool isPrivate1() const;

    static StreamRef mpeg2(int n) { return {Codec::Mpeg2Video, std::uint8_t(0xE0 + n)}; }
    static StreamRef h264(int n) { return {Codec::H264Video, std::uint8_t(0xE2 + n)}; }
    static StreamRef vc1(int n) { return {Codec::Vc1Video, std::uint8_t(0x55 + n)}; }
    static StreamRef mpegAudio(int n) { return {Codec::MpegAudio, std::uint8_t(0xC0 + n)}; }
    static StreamRef dd(int n) { return {Codec::DD, std::uint8_t(0x80 + n)}; }
    static StreamRef dtshd(int n) { return {Codec::DTSHD, std::uint8_t(0x88 + n)}; }
    static StreamRef ddplus(int n) { return {Codec::DDPlus, std::uint8_t(0xC0 + n)}; }
    static StreamRef lpcm(int n, const LpcmHeader& header = kDefaultLpcmHeader) {
        return {Codec::LPCM, std::uint8_t(0xA0 + n), header};
    }
    static StreamRef mlp(int n) { return {Codec::MLP, std::uint8_t(0xB0 + n)}; }
    static StreamRef sub(int n) { return {Codec::Subpicture, std::uint8_t(0x20 + n)}; }
    static StreamRef extSub(int n) { return {Codec::ExtSubpicture, std::uint8_t(0x60 + n)}; }
};

// One whole PES packet of the stream carrying `payload` (substream header included).
Bytes streamPacket(const StreamRef& stream, std::span<const std::uint8_t> payload,
                   std::optional<std::uint64_t> pts = {});

// ---- Pack-level writer -----------------------------------------------------------------

// Lays streams out as an EVO file does: every pack is exactly 2048 bytes, a 14-byte pack
// header followed by one PES packet; the rest of a pack that the payload doesn't fill is a
// padding packet, or header stuffing when fewer than 6 bytes are left.
class PackWriter {
  public:
    static constexpr std::size_t kPackSize = 2048;

    // A navigation pack: pack header, system header, two private stream 2 packets.
    void navPack(int audioBound, int videoBound);
    // The payload as one or more packs of this stream, the PTS on the first.
    void write(const StreamRef& stream, std::span<const std::uint8_t> payload,
               std::optional<std::uint64_t> pts = {});
    // A pack holding only a padding packet.
    void paddingPack();
    // Payload bytes that fit in one pack of this stream.
    static std::size_t packCapacity(const StreamRef& stream, bool withPts);

    const Bytes& bytes() const { return out_; }
    Bytes take() { return std::move(out_); }
    std::size_t packCount() const { return out_.size() / kPackSize; }

  private:
    void startPack();

    Bytes out_;
    std::uint64_t scr_ = 0;
};

// ---- Elementary payload ----------------------------------------------------------------

// Pseudo-random bytes without any 0x01 byte and without two zeros in a row: no start code,
// whole or cut at a chunk boundary, occurs in them.
Bytes randomPayload(std::size_t length, std::uint32_t seed);
// VC-1: a sequence header and an entry point header, then `frames` frame start codes 00 00 01 0D,
// each followed by random bytes, `frameSize` bytes per frame in all.
Bytes vc1Frames(int frames, std::size_t frameSize, std::uint32_t seed);
// MPEG-2: a sequence header, then `pictures` picture start codes 00 00 01 00.
Bytes mpeg2Pictures(int pictures, std::size_t pictureSize, std::uint32_t seed);
// H.264: `units` access unit delimiters 00 00 00 01 09 followed by random bytes.
Bytes h264AccessUnits(int units, std::size_t unitSize, std::uint32_t seed);

// Uniformly random bytes, every value equally likely, as in compressed video: 0x01 bytes and
// zero pairs occur as often as there, so a start code may appear by chance (about once per
// 4 GiB). Appends to `out`; fast enough to make gigabytes.
void appendNoise(Bytes& out, std::size_t length, std::uint64_t& seed);
Bytes noisePayload(std::size_t length, std::uint64_t seed);

}  // namespace tarnwell::fixture
