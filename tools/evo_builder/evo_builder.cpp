#include "evo_builder.h"

#include <algorithm>
#include <stdexcept>

namespace tarnwell::fixture {

namespace {

void put16(Bytes& out, std::size_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

void startCode(Bytes& out, std::uint8_t id) {
    append(out, std::initializer_list<std::uint8_t>{0, 0, 1, id});
}

std::size_t headerFieldsSize(const PesOptions& o) {
    std::size_t size = 0;
    if (o.pts) size += o.dts ? 10 : 5;
    if (o.streamIdExtension || o.pstd) size += 1 + (o.pstd ? 2 : 0) + (o.streamIdExtension ? 2 : 0);
    return size + o.stuffing;
}

struct Random {
    std::uint32_t state;
    std::uint8_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<std::uint8_t>(state >> 11);
    }
};

// Appends random bytes without any 0x01 byte and without two zero bytes in a row, so that
// no start code, whole or cut at a chunk boundary, can appear in them.
void appendRandom(Bytes& out, std::size_t length, Random& random) {
    for (std::size_t i = 0; i < length; ++i) {
        std::uint8_t b = random.next();
        if (b == 0x01 || (b == 0 && !out.empty() && out.back() == 0)) b = 0x42;
        out.push_back(b);
    }
}

Bytes startCodedUnits(std::span<const std::uint8_t> header, std::span<const std::uint8_t> unitCode,
                      int units, std::size_t unitSize, std::uint32_t seed) {
    Random random{seed | 1u};
    Bytes out(header.begin(), header.end());
    appendRandom(out, 16, random);
    if (out.back() == 0) out.back() = 0x42;
    for (int i = 0; i < units; ++i) {
        append(out, unitCode);
        const std::size_t rest = unitSize > unitCode.size() ? unitSize - unitCode.size() : 0;
        appendRandom(out, rest, random);
        // A unit must not end in a zero that could join the next code's zeros.
        if (!out.empty() && out.back() == 0) out.back() = 0x42;
    }
    return out;
}

}  // namespace

Bytes timeStampField(std::uint64_t value, std::uint8_t prefix) {
    return {static_cast<std::uint8_t>((prefix << 4) | (((value >> 30) & 7) << 1) | 1),
            static_cast<std::uint8_t>(value >> 22),
            static_cast<std::uint8_t>((((value >> 15) & 0x7F) << 1) | 1),
            static_cast<std::uint8_t>(value >> 7),
            static_cast<std::uint8_t>(((value & 0x7F) << 1) | 1)};
}

std::size_t pesHeaderSize(const PesOptions& options) {
    return 3 + headerFieldsSize(options);
}

Bytes pesPacket(std::uint8_t streamId, std::span<const std::uint8_t> body, const PesOptions& o) {
    Bytes fields;
    std::uint8_t flags2 = 0;
    if (o.pts) {
        flags2 |= o.dts ? 0xC0 : 0x80;
        append(fields, timeStampField(*o.pts, o.dts ? 3 : 2));
        if (o.dts) append(fields, timeStampField(*o.dts, 1));
    }
    if (o.streamIdExtension || o.pstd) {
        flags2 |= 0x01;
        // Reserved bits set, as encoders write them.
        std::uint8_t extFlags = 0x0E;
        if (o.pstd) extFlags |= 0x10;
        if (o.streamIdExtension) extFlags |= 0x01;
        fields.push_back(extFlags);
        if (o.pstd) append(fields, std::initializer_list<std::uint8_t>{0x60, 0xE8});
        if (o.streamIdExtension) {
            fields.push_back(0x81);  // marker + extension field length 1
            fields.push_back(*o.streamIdExtension & 0x7F);
        }
    }
    fields.insert(fields.end(), o.stuffing, 0xFF);

    Bytes out;
    startCode(out, streamId);
    const std::size_t length = 3 + fields.size() + body.size();
    if (!o.packetLength && length > 0xFFFF) throw std::length_error("PES packet too long");
    put16(out, o.packetLength ? *o.packetLength : length);
    out.push_back(0x81);  // '10', not scrambled, original
    out.push_back(flags2);
    out.push_back(o.headerDataLength ? *o.headerDataLength
                                     : static_cast<std::uint8_t>(fields.size()));
    append(out, fields);
    append(out, body);
    return out;
}

Bytes packHeader(std::uint64_t scr, std::uint32_t muxRate) {
    const std::uint32_t ext = 0;
    Bytes out;
    startCode(out, 0xBA);
    out.push_back(static_cast<std::uint8_t>(0x44 | (((scr >> 30) & 7) << 3) | ((scr >> 28) & 3)));
    out.push_back(static_cast<std::uint8_t>(scr >> 20));
    out.push_back(
        static_cast<std::uint8_t>((((scr >> 15) & 0x1F) << 3) | 0x04 | ((scr >> 13) & 3)));
    out.push_back(static_cast<std::uint8_t>(scr >> 5));
    out.push_back(static_cast<std::uint8_t>(((scr & 0x1F) << 3) | 0x04 | ((ext >> 7) & 3)));
    out.push_back(static_cast<std::uint8_t>(((ext & 0x7F) << 1) | 1));
    const std::uint32_t rate = (muxRate << 2) | 3;
    out.push_back(static_cast<std::uint8_t>(rate >> 16));
    out.push_back(static_cast<std::uint8_t>(rate >> 8));
    out.push_back(static_cast<std::uint8_t>(rate));
    out.push_back(0xF8);  // reserved, no pack stuffing
    return out;
}

Bytes systemHeader(int audioBound, int videoBound, std::span<const std::uint8_t> streamIds) {
    const std::uint32_t rateBound = 75600;
    Bytes out;
    startCode(out, 0xBB);
    put16(out, 6 + 3 * streamIds.size());
    out.push_back(static_cast<std::uint8_t>(0x80 | ((rateBound >> 15) & 0x7F)));
    out.push_back(static_cast<std::uint8_t>(rateBound >> 7));
    out.push_back(static_cast<std::uint8_t>(((rateBound & 0x7F) << 1) | 1));
    out.push_back(static_cast<std::uint8_t>((audioBound & 0x3F) << 2));
    out.push_back(static_cast<std::uint8_t>(0xE0 | (videoBound & 0x1F)));
    out.push_back(0x7F);
    for (const auto id : streamIds) {
        out.push_back(id);
        out.push_back(0xE0 | 0x20 | 0x01);  // '11', scale 1, size bound high bits
        out.push_back(0x00);
    }
    return out;
}

Bytes paddingPacket(std::size_t totalLength) {
    if (totalLength < 6) throw std::invalid_argument("padding packet shorter than 6 bytes");
    Bytes out;
    startCode(out, 0xBE);
    put16(out, totalLength - 6);
    out.insert(out.end(), totalLength - 6, 0xFF);
    return out;
}

Bytes privateStream2(std::span<const std::uint8_t> body) {
    Bytes out;
    startCode(out, 0xBF);
    put16(out, body.size());
    append(out, body);
    return out;
}

std::size_t substreamHeaderSize(std::uint8_t id) {
    if ((id & 0xE0) == 0x20 || (id & 0xE0) == 0x60) return 1;
    if ((id & 0xF0) == 0xA0) return 7;
    if ((id & 0xF0) == 0xB0) return 5;
    return 4;
}

Bytes substreamBody(std::uint8_t id, std::span<const std::uint8_t> payload,
                    const LpcmHeader& lpcm) {
    Bytes out{id};
    const std::size_t header = substreamHeaderSize(id);
    if (header >= 4) {
        out.push_back(0x01);  // number of frame headers
        out.push_back(0x00);  // first access unit pointer
        out.push_back(0x01);
    }
    // LPCM: emphasis/mute/frame number, quantization/frequency, channels; MLP: one byte.
    if (header == 7) append(out, lpcm);
    if (header == 5) out.push_back(0x00);
    append(out, payload);
    return out;
}

// ---------------------------------------------------------------------------------------

std::uint8_t StreamRef::streamId() const {
    switch (codec) {
        case Codec::Mpeg2Video:
        case Codec::H264Video:
        case Codec::MpegAudio:
            return code;
        case Codec::Vc1Video:
            return 0xFD;
        default:
            return 0xBD;
    }
}

bool StreamRef::isPrivate1() const {
    return streamId() == 0xBD;
}

namespace {

PesOptions optionsFor(const StreamRef& stream, std::optional<std::uint64_t> pts) {
    PesOptions options;
    options.pts = pts;
    if (stream.codec == Codec::Vc1Video) options.streamIdExtension = stream.code;
    return options;
}

}  // namespace

Bytes streamPacket(const StreamRef& stream, std::span<const std::uint8_t> payload,
                   std::optional<std::uint64_t> pts) {
    const auto options = optionsFor(stream, pts);
    if (stream.isPrivate1())
        return pesPacket(0xBD, substreamBody(stream.code, payload, stream.lpcmHeader), options);
    return pesPacket(stream.streamId(), payload, options);
}

std::size_t PackWriter::packCapacity(const StreamRef& stream, bool withPts) {
    const auto options =
        optionsFor(stream, withPts ? std::optional<std::uint64_t>(0) : std::nullopt);
    std::size_t overhead = 14 + 6 + pesHeaderSize(options);
    if (stream.isPrivate1()) overhead += substreamHeaderSize(stream.code);
    return kPackSize - overhead;
}

void PackWriter::startPack() {
    append(out_, packHeader(scr_));
    scr_ += 1200;  // 2048 bytes at about 10 Mbit/s in 27 MHz / 300 units
}

void PackWriter::navPack(int audioBound, int videoBound) {
    const std::size_t start = out_.size();
    startPack();
    append(out_, systemHeader(audioBound, videoBound));
    const std::size_t left = kPackSize - (out_.size() - start);
    // The two navigation packets (presentation and search data), as a disc has them.
    const std::size_t first = 980;
    Bytes body(first - 6, 0x00);
    append(out_, privateStream2(body));
    Bytes second(left - first - 6, 0x01);
    append(out_, privateStream2(second));
}

void PackWriter::write(const StreamRef& stream, std::span<const std::uint8_t> payload,
                       std::optional<std::uint64_t> pts) {
    bool first = true;
    do {
        const bool withPts = first && pts.has_value();
        const std::size_t capacity = packCapacity(stream, withPts);
        const std::size_t take = std::min(capacity, payload.size());
        const std::size_t gap = capacity - take;
        auto options = optionsFor(stream, withPts ? pts : std::nullopt);
        if (gap > 0 && gap < 6) options.stuffing = static_cast<std::uint8_t>(gap);
        const auto chunk = payload.subspan(0, take);
        const std::size_t start = out_.size();
        startPack();
        append(out_,
               stream.isPrivate1()
                   ? pesPacket(0xBD, substreamBody(stream.code, chunk, stream.lpcmHeader), options)
                   : pesPacket(stream.streamId(), chunk, options));
        const std::size_t used = out_.size() - start;
        if (used < kPackSize) append(out_, paddingPacket(kPackSize - used));
        payload = payload.subspan(take);
        first = false;
    } while (!payload.empty());
}

void PackWriter::paddingPack() {
    startPack();
    append(out_, paddingPacket(kPackSize - 14));
}

// ---------------------------------------------------------------------------------------

Bytes randomPayload(std::size_t length, std::uint32_t seed) {
    Random random{seed | 1u};
    Bytes out;
    out.reserve(length);
    appendRandom(out, length, random);
    return out;
}

Bytes vc1Frames(int frames, std::size_t frameSize, std::uint32_t seed) {
    // Advanced profile as a disc carries it: a sequence header (1920x1080, 4:2:0) and an entry
    // point header, so that other readers can open the stream.
    static constexpr std::uint8_t kSequence[] = {0,    0,    1, 0x0F, 0xDB, 0xFE, 0x3B, 0xF2, 0x1B,
                                                 0x08, 0x80, 0, 0,    1,    0x0E, 0x48, 0x40, 0x80};
    static constexpr std::uint8_t kFrame[] = {0, 0, 1, 0x0D};
    return startCodedUnits(kSequence, kFrame, frames, frameSize, seed);
}

Bytes mpeg2Pictures(int pictures, std::size_t pictureSize, std::uint32_t seed) {
    static constexpr std::uint8_t kSequence[] = {0, 0, 1, 0xB3, 0x78, 0x04, 0x38, 0x35};
    static constexpr std::uint8_t kPicture[] = {0, 0, 1, 0x00, 0x01, 0x0F};
    return startCodedUnits(kSequence, kPicture, pictures, pictureSize, seed);
}

Bytes h264AccessUnits(int units, std::size_t unitSize, std::uint32_t seed) {
    static constexpr std::uint8_t kNone[] = {0x01};
    static constexpr std::uint8_t kDelimiter[] = {0, 0, 0, 1, 0x09, 0x10};
    return startCodedUnits(std::span<const std::uint8_t>(kNone, 0), kDelimiter, units, unitSize,
                           seed);
}

void appendNoise(Bytes& out, std::size_t length, std::uint64_t& seed) {
    // xorshift64*, eight bytes per step.
    const std::size_t start = out.size();
    out.resize(start + length);
    std::uint8_t* p = out.data() + start;
    std::uint64_t x = seed ? seed : 0x9E3779B97F4A7C15ull;
    for (std::size_t i = 0; i < length; i += 8) {
        x ^= x >> 12;
        x ^= x << 25;
        x ^= x >> 27;
        std::uint64_t word = x * 0x2545F4914F6CDD1Dull;
        const std::size_t n = std::min<std::size_t>(8, length - i);
        for (std::size_t k = 0; k < n; ++k, word >>= 8) p[i + k] = static_cast<std::uint8_t>(word);
    }
    seed = x;
}

Bytes noisePayload(std::size_t length, std::uint64_t seed) {
    Bytes out;
    appendNoise(out, length, seed);
    return out;
}

}  // namespace tarnwell::fixture
