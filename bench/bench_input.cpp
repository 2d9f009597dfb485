#include "bench_input.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

#include "evo_builder.h"

namespace tarnwell::bench {

namespace {

using fixture::Bytes;
using fixture::PackWriter;
using fixture::StreamRef;

constexpr int kUnitPacks = 200;
constexpr std::size_t kFrameSize = 28000;

enum class PackType { Video, DDPlus, DD, Sub, Padding };

// Where each pack of a unit (after its navigation pack) goes: every type spread evenly.
std::vector<PackType> unitSchedule() {
    const std::pair<PackType, int> counts[] = {{PackType::Video, 170},
                                               {PackType::DDPlus, 14},
                                               {PackType::DD, 10},
                                               {PackType::Sub, 3},
                                               {PackType::Padding, 2}};
    std::vector<std::pair<double, PackType>> places;
    for (const auto& [type, count] : counts)
        for (int i = 0; i < count; ++i) places.emplace_back((i + 0.5) / count, type);
    std::stable_sort(places.begin(), places.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<PackType> schedule;
    for (const auto& place : places) schedule.push_back(place.second);
    return schedule;
}

// The VC-1 elementary stream, cut into pack-sized pieces as they are asked for.
class VideoSource {
  public:
    std::span<const std::uint8_t> take(std::size_t length) {
        while (stream_.size() - used_ < length) {
            if (used_ > 0) {
                stream_.erase(stream_.begin(),
                              stream_.begin() + static_cast<std::ptrdiff_t>(used_));
                used_ = 0;
            }
            fixture::append(stream_, std::initializer_list<std::uint8_t>{0, 0, 1, 0x0D});
            fixture::appendNoise(stream_, kFrameSize - 4, seed_);
        }
        const auto piece = std::span<const std::uint8_t>(stream_).subspan(used_, length);
        used_ += length;
        return piece;
    }

  private:
    Bytes stream_;
    std::size_t used_ = 0;
    std::uint64_t seed_ = 0x5EED;
};

}  // namespace

void writeBenchInput(const std::string& path, std::int64_t mebibytes) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(path.c_str(), "wb"),
                                                        std::fclose);
    if (!out) throw std::runtime_error("cannot create " + path);

    const auto schedule = unitSchedule();
    const std::int64_t totalPacks =
        mebibytes * 1048576 / static_cast<std::int64_t>(PackWriter::kPackSize);
    VideoSource video;
    std::uint64_t seed = 0xA0D10;
    Bytes payload;
    std::uint64_t pts = 90000;
    for (std::int64_t written = 0; written < totalPacks;) {
        PackWriter unit;
        unit.navPack(2, 1);
        int videoPacks = 0;
        for (const PackType type : schedule) {
            const auto full = [&](const StreamRef& stream, bool withPts) {
                payload.clear();
                fixture::appendNoise(payload, PackWriter::packCapacity(stream, withPts), seed);
                unit.write(stream, payload,
                           withPts ? std::optional<std::uint64_t>(pts) : std::nullopt);
            };
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
                case PackType::DDPlus:
                    full(StreamRef::ddplus(0), true);
                    break;
                case PackType::DD:
                    full(StreamRef::dd(1), true);
                    break;
                case PackType::Sub:
                    full(StreamRef::sub(0), true);
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
