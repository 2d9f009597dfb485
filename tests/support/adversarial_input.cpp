#include "support/adversarial_input.h"

#include <algorithm>
#include <optional>

namespace tarnwell::testing::adversarial {

namespace {

std::uint8_t byteOf(Random& random) {
    return static_cast<std::uint8_t>(random());
}

void putRandom(Bytes& out, std::size_t count, Random& random) {
    for (std::size_t k = 0; k < count; ++k) out.push_back(byteOf(random));
}

// The header fields that a PES header may carry, as raw bytes in the order the parser takes
// them, with random contents where they are not examined.
Bytes headerFields(Random& random, std::uint8_t flags2) {
    Bytes fields;
    if ((flags2 & 0xC0) == 0x80) putRandom(fields, 5, random);
    if ((flags2 & 0xC0) == 0xC0) putRandom(fields, 10, random);
    if (flags2 & 0x01) {
        static const std::uint8_t kExtFlags[] = {0x00, 0x01, 0x10, 0x11, 0x81, 0x91, 0xFF, 0xEE};
        const std::uint8_t extFlags = kExtFlags[random() % std::size(kExtFlags)];
        fields.push_back(extFlags);
        if (extFlags & 0x10) putRandom(fields, 2, random);
        if (extFlags & 0x01) {
            static const std::uint8_t kExt[] = {0x55, 0x56, 0xD5, 0xD6, 0x57, 0x00, 0x71};
            fields.push_back(0x81);
            fields.push_back(kExt[random() % std::size(kExt)]);
        }
    }
    return fields;
}

}  // namespace

Bytes uniformBytes(Random& random, std::size_t size) {
    Bytes out;
    putRandom(out, size, random);
    return out;
}

Bytes alphabetBytes(Random& random, std::size_t size) {
    static const std::uint8_t kPieces[] = {
        0xBD, 0xBD, 0xE0, 0xE1, 0xE2, 0xE3, 0xFD, 0xFD, 0xC0, 0xC5, 0xBC, 0xBE, 0xBF, 0xBA,
        0xBB, 0x80, 0x81, 0x88, 0x8F, 0xA0, 0xA1, 0xA9, 0xB0, 0xB1, 0xB9, 0x20, 0x35, 0x60,
        0x7F, 0x55, 0x56, 0x57, 0xD5, 0x0D, 0x09, 0x10, 0x11, 0xC1, 0x02, 0x03, 0x05, 0xFF};
    Bytes out;
    while (out.size() < size) {
        const auto roll = random() % 100;
        if (roll < 40)
            out.push_back(0x00);
        else if (roll < 55)
            out.push_back(0x01);
        else if (roll < 90)
            out.push_back(kPieces[random() % std::size(kPieces)]);
        else
            out.push_back(byteOf(random));
    }
    return out;
}

Bytes roguePacket(Random& random) {
    static const std::uint8_t kIds[] = {0xE0, 0xE1, 0xE2, 0xE3, 0xFD, 0xFD, 0xC0,
                                        0xCF, 0xBD, 0xBD, 0xBD, 0xBC, 0xBE, 0xBF};
    const std::uint8_t id = kIds[random() % std::size(kIds)];
    const std::uint8_t flags2 = static_cast<std::uint8_t>(
        (random() % 4) << 6 | (random() % 2) | (random() % 3 == 0 ? byteOf(random) & 0x3E : 0));
    const Bytes fields = headerFields(random, flags2);
    const int stuffing = random() % 3 == 0 ? static_cast<int>(random() % 6) : 0;
    int headerLength = static_cast<int>(fields.size()) + stuffing;
    switch (random() % 6) {
        case 0:
            headerLength = static_cast<int>(random() % (fields.size() + 1));  // too short
            break;
        case 1:
            headerLength += 1 + static_cast<int>(random() % 4);  // too long
            break;
        case 2:
            headerLength = 0;
            break;
        default:
            break;
    }
    Bytes body{0x81, flags2, static_cast<std::uint8_t>(headerLength)};
    fixture::append(body, fields);
    body.insert(body.end(), static_cast<std::size_t>(stuffing), 0xFF);
    if (id == 0xBD) {
        const std::uint8_t sub =
            random() % 2 ? byteOf(random)
                         : static_cast<std::uint8_t>(0x80 + random() % 0x60);  // audio-ish
        body.push_back(sub);
        putRandom(body, 3 + random() % 4, random);
    }
    const std::size_t payload = random() % 5 == 0 ? 0 : random() % 700;
    putRandom(body, payload, random);
    std::size_t length = body.size();
    switch (random() % 6) {
        case 0:
            length = random() % 12;  // ends inside the header, or right after it
            break;
        case 1:
            length = body.size() + random() % 40;  // runs into what follows
            break;
        case 2:
            length = body.size() - std::min<std::size_t>(body.size(), random() % 8);
            break;
        default:
            break;
    }
    if (random() % 50 == 0) length = 0xFFFF;
    Bytes out{0x00,
              0x00,
              0x01,
              id,
              static_cast<std::uint8_t>(length >> 8),
              static_cast<std::uint8_t>(length)};
    fixture::append(out, body);
    // A start code dropped into the header or the body now and then.
    if (random() % 5 == 0 && out.size() > 8) {
        static const std::uint8_t kCodes[] = {0xE0, 0xBD, 0xFD, 0xBE, 0xC3, 0xBA};
        const std::size_t at = 6 + random() % (out.size() - 6);
        const Bytes code{0x00, 0x00, 0x01, kCodes[random() % std::size(kCodes)]};
        out.insert(out.begin() + static_cast<std::ptrdiff_t>(at), code.begin(), code.end());
    }
    // Cut short now and then.
    if (random() % 8 == 0) out.resize(random() % out.size() + 1);
    return out;
}

Bytes wellFormedPacket(Random& random) {
    using fixture::StreamRef;
    const int n = static_cast<int>(random() % 2);
    const StreamRef streams[] = {StreamRef::mpeg2(n),
                                 StreamRef::h264(n),
                                 StreamRef::vc1(n),
                                 StreamRef::dd(random() % 8),
                                 StreamRef::dtshd(random() % 8),
                                 StreamRef::ddplus(random() % 16),
                                 StreamRef::lpcm(random() % 8),
                                 StreamRef::mlp(random() % 8),
                                 StreamRef::sub(random() % 32),
                                 StreamRef::extSub(random() % 32),
                                 StreamRef::mpegAudio(random() % 16)};
    const auto& stream = streams[random() % std::size(streams)];
    Bytes payload;
    switch (random() % 4) {
        case 0:
            payload = fixture::mpeg2Pictures(1 + random() % 3, 60 + random() % 500, random());
            break;
        case 1:
            payload = fixture::h264AccessUnits(1 + random() % 3, 60 + random() % 500, random());
            break;
        case 2:
            payload = fixture::vc1Frames(1 + random() % 3, 60 + random() % 500, random());
            break;
        default:
            payload = fixture::noisePayload(random() % 1500, random());
            break;
    }
    std::optional<std::uint64_t> pts;
    if (random() % 3 != 0) pts = (std::uint64_t{random()} << 2) ^ random();
    return fixture::streamPacket(stream, payload, pts);
}

Bytes pesFragments(Random& random, std::size_t size) {
    Bytes out;
    while (out.size() < size) {
        switch (random() % 10) {
            case 0:
            case 1:
            case 2:
                fixture::append(out, roguePacket(random));
                break;
            case 3:
            case 4:
            case 5:
                fixture::append(out, wellFormedPacket(random));
                break;
            case 6:
                fixture::append(out, fixture::packHeader(random()));
                if (random() % 2)
                    fixture::append(out, fixture::systemHeader(random() % 64, random() % 32));
                break;
            case 7:
                fixture::append(out, random() % 2 ? fixture::paddingPacket(6 + random() % 400)
                                                  : fixture::privateStream2(
                                                        uniformBytes(random, random() % 200)));
                break;
            case 8:
                out.insert(out.end(), random() % 20, 0x00);
                break;
            default:
                putRandom(out, random() % 30, random);
                break;
        }
    }
    return out;
}

Bytes everySubstreamId(Random& random, const std::vector<int>& order) {
    Bytes out;
    for (const int id : order) {
        fixture::PesOptions options;
        if (random() % 2) options.pts = std::uint64_t{random()} * 3 + 1;
        Bytes body{static_cast<std::uint8_t>(id)};
        putRandom(body, 3 + random() % 5, random);
        putRandom(body, random() % 300, random);
        fixture::append(out, fixture::pesPacket(0xBD, body, options));
        if (random() % 4 == 0) {
            fixture::PesOptions video;
            video.pts = random();
            fixture::append(
                out, fixture::pesPacket(0xE0 + random() % 2,
                                        fixture::noisePayload(random() % 80, random()), video));
        }
    }
    return out;
}

Bytes acrossBoundaries(Random& random, int blocks) {
    Bytes out;
    for (int k = 1; k <= blocks; ++k) {
        const std::size_t boundary = static_cast<std::size_t>(k) * 32768;
        Bytes packet = random() % 3 == 0 ? roguePacket(random) : wellFormedPacket(random);
        const std::size_t back = random() % std::min<std::size_t>(packet.size() + 1, 48);
        const std::size_t start = boundary - back;
        if (out.size() < start) putRandom(out, start - out.size(), random);
        fixture::append(out, packet);
    }
    return out;
}

Bytes withoutPayload(Random& random, std::size_t count) {
    // The first two make a packet only when the byte after the header enters the window twice.
    static const Bytes kFollowers[] = {
        {0x00, 0x01, 0xE1, 0x00, 0x02, 0xAA, 0xBB},
        {0x00, 0x01, 0xBD, 0x00, 0x07, 0x81, 0x00, 0x00, 0x85, 0x01, 0x00, 0x01},
        {0x00, 0x00, 0x01, 0xBD, 0x00, 0x0A},
        {0x01},
        {0xFF, 0x00},
        {}};
    Bytes out;
    for (std::size_t k = 0; k < count; ++k) {
        fixture::PesOptions options;
        if (random() % 2) options.pts = random();
        static const std::uint8_t kIds[] = {0xE0, 0xE2, 0xC0, 0xBD, 0xFD};
        const std::uint8_t id = kIds[random() % std::size(kIds)];
        if (id == 0xFD) options.streamIdExtension = static_cast<std::uint8_t>(0x55 + random() % 2);
        const std::size_t header = fixture::pesHeaderSize(options);
        Bytes body;
        if (id == 0xBD) body = {static_cast<std::uint8_t>(random() % 2 ? 0x80 : 0x21), 1, 0, 1};
        // The length ends the packet exactly at its header, or before it.
        const std::size_t exact = header + (id == 0xBD ? body.size() : 0);
        const std::size_t length =
            random() % 3 == 0 ? exact - random() % std::min<std::size_t>(exact, 4) : exact;
        options.packetLength = static_cast<std::uint16_t>(length);
        fixture::append(out, fixture::pesPacket(id, body, options));
        fixture::append(out, kFollowers[random() % std::size(kFollowers)]);
    }
    return out;
}

Bytes everyFlagCombination(Random& random) {
    Bytes out;
    static const std::uint8_t kIds[] = {0xE1, 0xE2, 0xFD, 0xC4, 0xBD};
    for (const std::uint8_t id : kIds) {
        for (int flagBits = 0; flagBits < 8; ++flagBits) {
            const std::uint8_t flags2 = static_cast<std::uint8_t>(
                (flagBits & 4 ? 0x80 : 0) | (flagBits & 2 ? 0x40 : 0) | (flagBits & 1));
            for (int variant = 0; variant < 6; ++variant) {
                const Bytes fields = headerFields(random, flags2);
                const int headerLength = static_cast<int>(fields.size()) - 2 + variant;
                if (headerLength < 0) continue;
                Bytes body{0x80, flags2, static_cast<std::uint8_t>(headerLength)};
                fixture::append(body, fields);
                if (headerLength > static_cast<int>(fields.size()))
                    body.insert(body.end(), static_cast<std::size_t>(headerLength) - fields.size(),
                                0xFF);
                if (id == 0xBD) {
                    body.push_back(static_cast<std::uint8_t>(random() % 2 ? 0x22 : 0x83));
                    putRandom(body, 3, random);
                }
                putRandom(body, random() % 64, random);
                Bytes packet{0x00,
                             0x00,
                             0x01,
                             id,
                             static_cast<std::uint8_t>(body.size() >> 8),
                             static_cast<std::uint8_t>(body.size())};
                fixture::append(packet, body);
                fixture::append(out, packet);
            }
        }
    }
    return out;
}

}  // namespace tarnwell::testing::adversarial
