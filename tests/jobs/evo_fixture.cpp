#include "jobs/evo_fixture.h"

#include <algorithm>

#include "support/temp_dir.h"

namespace tarnwell::testing {

using fixture::Bytes;
using fixture::PackWriter;
using fixture::StreamRef;

void EvoFixture::nav(int audioBound, int videoBound) {
    writer_.navPack(audioBound, videoBound);
}

void EvoFixture::paddingPack() {
    writer_.paddingPack();
}

void EvoFixture::writePacks(const StreamRef& stream, const Bytes& payload,
                            std::optional<std::uint64_t> pts) {
    std::size_t done = 0;
    bool first = true;
    do {
        const bool withPts = first && pts.has_value();
        const std::size_t take =
            std::min(PackWriter::packCapacity(stream, withPts), payload.size() - done);
        const Bytes piece(payload.begin() + static_cast<std::ptrdiff_t>(done),
                          payload.begin() + static_cast<std::ptrdiff_t>(done + take));
        writer_.write(stream, piece, withPts ? pts : std::nullopt);
        std::optional<std::uint32_t> record;
        if (withPts) record = static_cast<std::uint32_t>(*pts);
        pieces_.push_back({stream.code, writer_.bytes().size(), piece, record});
        done += take;
        first = false;
    } while (done < payload.size());
}

void EvoFixture::vc1Frame(int videoNo, std::size_t size, std::uint64_t pts) {
    Bytes frame{0, 0, 1, 0x0D};
    fixture::append(frame, fixture::randomPayload(size - frame.size(), seed_++));
    writePacks(StreamRef::vc1(videoNo), frame, pts);
    ++frames_[videoNo];
}

void EvoFixture::payload(const StreamRef& stream, std::size_t size,
                         std::optional<std::uint64_t> pts) {
    writePacks(stream, fixture::randomPayload(size, seed_++), pts);
}

void EvoFixture::subpicture(int code, std::size_t size, std::uint64_t pts) {
    const StreamRef stream{fixture::Codec::Subpicture, static_cast<std::uint8_t>(code)};
    writePacks(stream, fixture::randomPayload(size, seed_++), pts);
}

EvoFixture EvoFixture::title(std::size_t minBytes, std::uint32_t seed) {
    EvoFixture evo;
    evo.seed_ = seed;
    evo.nav(1, 1);
    std::uint64_t pts = 90000 + seed;
    for (int group = 0; evo.size() < minBytes; ++group) {
        if (group > 0 && group % 8 == 0) evo.nav(1, 1);
        evo.vc1Frame(0, 9000 + 37 * (group % 11), pts);
        evo.payload(StreamRef::ddplus(0), 1500 + 13 * (group % 5), pts + 1);
        if (group % 3 == 0) evo.subpicture(0x20, 300 + group % 7, pts + 2);
        pts += 3003;
    }
    return evo;
}

void EvoFixture::save(const std::string& path) const {
    writeFile(path, writer_.bytes());
}

Bytes EvoFixture::streamBytes(int code, std::size_t limit) const {
    Bytes out;
    for (const auto& piece : pieces_)
        if (piece.code == code && piece.packEnd <= limit) fixture::append(out, piece.payload);
    return out;
}

Bytes EvoFixture::ptsBytes(int code, std::size_t limit) const {
    Bytes out;
    for (const auto& piece : pieces_) {
        if (piece.code != code || piece.packEnd > limit || !piece.ptsRecord) continue;
        const auto value = *piece.ptsRecord;
        for (int shift = 0; shift < 32; shift += 8)
            out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
    return out;
}

}  // namespace tarnwell::testing
