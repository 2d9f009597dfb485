#include "bench_input.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "evo_builder.h"

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
    Bytes payload;
    std::uint64_t pts = 90000;
    for (std::int64_t written = 0; written < totalPacks;) {
        if (stop) throw std::runtime_error("interrupted");
        PackWriter unit;
        unit.navPack(2, 1);
        int videoPacks = 0;
        // A subpicture unit per pack: a zero word, then its size as HD DVD carries it.
        const auto subpicture = [&](const StreamRef& stream) {
            const std::size_t size = PackWriter::packCapacity(stream, true);
            payload.assign({0, 0, static_cast<std::uint8_t>(size >> 24),
                            static_cast<std::uint8_t>(size >> 16),
                            static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size)});
            fixture::appendNoise(payload, size - payload.size(), seed);
            unit.write(stream, payload, pts);
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
                    subpicture(StreamRef::sub(0));
                    break;
                case PackType::Sub1:
                    subpicture(StreamRef::sub(1));
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
