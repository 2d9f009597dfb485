#include "bench_input.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "evo_builder.h"
#include "subpicture_encoder.h"

namespace tarnwell::bench {

namespace {

using fixture::Bytes;
using fixture::PackWriter;
using fixture::StreamRef;

constexpr std::size_t kFrameSize = 28000;
constexpr int kFramesPerGop = 12;
constexpr std::size_t kTrueHdUnitSize = 2000;
constexpr std::size_t kDDPlusFrameSize = 1536;

enum class PackType { Video, TrueHD, DDPlus, Sub0, Sub1, Padding };

// Where each pack of a unit (after its navigation pack) goes: every type spread evenly.
std::vector<PackType> unitSchedule() {
    const std::pair<PackType, int> counts[] = {{PackType::Video, 166}, {PackType::TrueHD, 16},
                                               {PackType::DDPlus, 8},  {PackType::Sub0, 3},
                                               {PackType::Sub1, 3},    {PackType::Padding, 3}};
    std::vector<std::pair<double, PackType>> places;
    for (const auto& [type, count] : counts)
        for (int i = 0; i < count; ++i) places.emplace_back((i + 0.5) / count, type);
    std::stable_sort(places.begin(), places.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<PackType> schedule;
    for (const auto& place : places) schedule.push_back(place.second);
    return schedule;
}

// The CRC of TrueHD's major sync: polynomial 0x2D, most significant bit first.
std::uint16_t crc2D(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0;
    for (const auto b : bytes) {
        crc ^= static_cast<std::uint16_t>(b << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x2D : crc << 1);
    }
    return crc;
}

// A TrueHD access unit that starts with a major sync (48 kHz, one substream), so that other
// readers learn the stream's parameters from any unit; the rest is random.
void appendTrueHdUnit(Bytes& out, std::uint16_t timing, std::uint64_t& seed) {
    constexpr std::uint16_t words = kTrueHdUnitSize / 2;
    std::uint8_t sync[28] = {0xF8, 0x72, 0x6F, 0xBA, 0x00, 0x07, 0x80, 0x0F, 0xB7,
                             0x52, 0x00, 0x00, 0x00, 0x00, 0x8F, 0xFF, 0x10, 0x00};
    // The check word covers the 24 bytes before it, folded with the two after them.
    const std::uint16_t check =
        crc2D({sync, 24}) ^ static_cast<std::uint16_t>(sync[24] | sync[25] << 8);
    sync[26] = static_cast<std::uint8_t>(check >> 8);
    sync[27] = static_cast<std::uint8_t>(check);
    const std::uint8_t header[] = {
        static_cast<std::uint8_t>(words >> 8), static_cast<std::uint8_t>(words),
        static_cast<std::uint8_t>(timing >> 8), static_cast<std::uint8_t>(timing)};
    fixture::append(out, header);
    fixture::append(out, sync);
    fixture::appendNoise(out, kTrueHdUnitSize - sizeof header - sizeof sync, seed);
}

// An E-AC-3 sync frame header (48 kHz, six blocks, 5.1, 1536 bytes), then random bytes.
void appendDDPlusFrame(Bytes& out, std::uint64_t& seed) {
    constexpr std::uint8_t header[] = {0x0B, 0x77, 0x02, 0xFF, 0x3F, 0x80};
    fixture::append(out, header);
    fixture::appendNoise(out, kDDPlusFrameSize - sizeof header, seed);
}

// A subtitle as a disc carries it, in the HD form with 2-bit runs: one line of text-like
// strokes (outline and fill runs of a few pixels between transparent gaps) in a 1400x140 area
// near the bottom of the screen, shown for about a second; some 22 KB a unit.
void appendSubtitleUnit(Bytes& out, std::uint64_t& seed) {
    const auto next = [&seed](std::uint64_t range) {
        seed = seed * 6364136223846793005u + 1442695040888963407u;
        return static_cast<int>((seed >> 33) % range);
    };
    fixture::SubpictureSpec s;
    s.x = 260, s.y = 900, s.width = 1400, s.height = 140;
    s.pixels.assign(static_cast<std::size_t>(s.width) * s.height, 0);
    for (int y = 20; y < 120; ++y) {
        std::uint8_t* row = s.pixels.data() + static_cast<std::size_t>(y) * s.width;
        for (int x = 50 + next(20); x < 1300;) {
            const int outline = 1 + next(2), fill = 2 + next(7);
            std::fill(row + x, row + x + outline, 1);
            std::fill(row + x + outline, row + x + outline + fill, 2);
            std::fill(row + x + outline + fill, row + x + 2 * outline + fill, 1);
            x += 2 * outline + fill + 3 + next(25);
        }
    }
    for (int i = 0; i < 256; ++i)
        s.palette.insert(s.palette.end(), {static_cast<std::uint8_t>(i), 128, 128});
    s.alpha.assign(256, 0);
    s.alpha[0] = 255;
    s.stopDelay = 100;
    fixture::append(out, fixture::encodeSubpictureUnit(s));
}

// An elementary stream, made a unit at a time and cut into pack-sized pieces as asked for.
class UnitSource {
  public:
    explicit UnitSource(std::function<void(Bytes&)> appendUnit)
        : appendUnit_(std::move(appendUnit)) {}

    std::span<const std::uint8_t> take(std::size_t length) {
        while (stream_.size() - used_ < length) {
            if (used_ > 0) {
                stream_.erase(stream_.begin(),
                              stream_.begin() + static_cast<std::ptrdiff_t>(used_));
                used_ = 0;
            }
            appendUnit_(stream_);
        }
        const auto piece = std::span<const std::uint8_t>(stream_).subspan(used_, length);
        used_ += length;
        return piece;
    }

  private:
    std::function<void(Bytes&)> appendUnit_;
    Bytes stream_;
    std::size_t used_ = 0;
};

}  // namespace

void writeBenchInput(const std::string& path, std::int64_t mebibytes,
                     const volatile std::sig_atomic_t& stop) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(path.c_str(), "wb"),
                                                        std::fclose);
    if (!out) throw std::runtime_error("cannot create " + path);

    const auto schedule = unitSchedule();
    const std::int64_t totalPacks =
        mebibytes * 1048576 / static_cast<std::int64_t>(PackWriter::kPackSize);
    std::uint64_t seed = 0xA0D10;
    // VC-1 frames, each group of them led by a sequence header (1920x1080) and an entry point.
    int frames = 0;
    UnitSource video([&](Bytes& out) {
        static constexpr std::uint8_t kSequence[] = {0,    0,    1,    0x0F, 0xDB, 0xFE,
                                                     0x3B, 0xF2, 0x1B, 0x08, 0x80, 0,
                                                     0,    1,    0x0E, 0x48, 0x40, 0x80};
        static constexpr std::uint8_t kFrame[] = {0, 0, 1, 0x0D};
        const bool gop = frames++ % kFramesPerGop == 0;
        if (gop) fixture::append(out, kSequence);
        fixture::append(out, kFrame);
        fixture::appendNoise(out, kFrameSize - sizeof kFrame - (gop ? sizeof kSequence : 0), seed);
    });
    std::uint16_t timing = 0;
    UnitSource trueHd([&](Bytes& out) { appendTrueHdUnit(out, timing += 40, seed); });
    UnitSource ddPlus([&](Bytes& out) { appendDDPlusFrame(out, seed); });
    UnitSource sub0([&](Bytes& out) { appendSubtitleUnit(out, seed); });
    UnitSource sub1([&](Bytes& out) { appendSubtitleUnit(out, seed); });
    std::uint64_t pts = 90000;
    for (std::int64_t written = 0; written < totalPacks;) {
        if (stop) throw std::runtime_error("interrupted");
        PackWriter unit;
        unit.navPack(2, 1);
        int videoPacks = 0;
        const auto subpicture = [&](UnitSource& source, const StreamRef& stream) {
            unit.write(stream, source.take(PackWriter::packCapacity(stream, true)), pts);
        };
        const auto audio = [&](UnitSource& source, const StreamRef& stream) {
            unit.write(stream, source.take(PackWriter::packCapacity(stream, true)), pts);
        };
        for (const PackType type : schedule) {
            switch (type) {
                case PackType::Video: {
                    const StreamRef stream = StreamRef::vc1(0);
                    // A time stamp on the pack where a frame is about to start, roughly.
                    const bool withPts = videoPacks++ % 14 == 0;
                    unit.write(stream, video.take(PackWriter::packCapacity(stream, withPts)),
                               withPts ? std::optional<std::uint64_t>(pts) : std::nullopt);
                    if (withPts) pts += 3003;
                    break;
                }
                case PackType::TrueHD:
                    audio(trueHd, StreamRef::mlp(1));
                    break;
                case PackType::DDPlus:
                    audio(ddPlus, StreamRef::ddplus(0));
                    break;
                case PackType::Sub0:
                    subpicture(sub0, StreamRef::sub(0));
                    break;
                case PackType::Sub1:
                    subpicture(sub1, StreamRef::sub(1));
                    break;
                case PackType::Padding:
                    unit.paddingPack();
                    break;
            }
        }
        const std::int64_t packs = std::min<std::int64_t>(
            static_cast<std::int64_t>(unit.packCount()), totalPacks - written);
        const std::size_t bytes = static_cast<std::size_t>(packs) * PackWriter::kPackSize;
        if (std::fwrite(unit.bytes().data(), 1, bytes, out.get()) != bytes)
            throw std::runtime_error("cannot write " + path);
        written += packs;
    }
    if (std::fflush(out.get()) != 0) throw std::runtime_error("cannot write " + path);
}

}  // namespace tarnwell::bench
