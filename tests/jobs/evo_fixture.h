#pragma once
// EVO files for the job tests, laid out pack by pack with the fixture builder, remembering
// which payload bytes and time stamps each stream received in which pack, so a test can tell
// what a complete or a cut-short demux must have written.

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "evo_builder.h"

namespace tarnwell::testing {

class EvoFixture {
  public:
    // A navigation pack whose system header announces these stream counts.
    void nav(int audioBound, int videoBound);
    // One frame of VC-1 video (a frame start code and random bytes), over as many packs as it
    // needs; the frame counter sees exactly one frame in it.
    void vc1Frame(int videoNo, std::size_t size, std::uint64_t pts);
    // Elementary payload of any stream, over as many packs as it needs, the PTS on the first.
    void payload(const fixture::StreamRef& stream, std::size_t size,
                 std::optional<std::uint64_t> pts);
    // A subpicture unit that fits one pack, with its PTS.
    void subpicture(int code, std::size_t size, std::uint64_t pts);
    void paddingPack();

    // A typical title: a nav pack, then groups of video frames, DD+ audio 0xC0 and subpicture
    // 0x20 until the file holds at least `minBytes`. `seed` varies the payload.
    static EvoFixture title(std::size_t minBytes, std::uint32_t seed);

    std::size_t size() const { return writer_.bytes().size(); }
    int frames(int videoNo) const { return frames_[videoNo]; }
    const fixture::Bytes& bytes() const { return writer_.bytes(); }
    void save(const std::string& path) const;

    // What a demux writes for a stream code (0x55 VC-1 video 0, 0xC0 DD+, 0x20 subpicture...)
    // from the packs that lie within the first `limit` bytes of the file.
    fixture::Bytes streamBytes(int code,
                               std::size_t limit = std::numeric_limits<std::size_t>::max()) const;
    // The ".pts" records of a subpicture code, 4 bytes little-endian each.
    fixture::Bytes ptsBytes(int code,
                            std::size_t limit = std::numeric_limits<std::size_t>::max()) const;

  private:
    struct Piece {
        int code;
        std::size_t packEnd;  // file offset just after the pack
        fixture::Bytes payload;
        std::optional<std::uint32_t> ptsRecord;
    };
    void writePacks(const fixture::StreamRef& stream, const fixture::Bytes& payload,
                    std::optional<std::uint64_t> pts);

    fixture::PackWriter writer_;
    std::vector<Piece> pieces_;
    int frames_[2] = {0, 0};
    std::uint32_t seed_ = 7;
};

}  // namespace tarnwell::testing
