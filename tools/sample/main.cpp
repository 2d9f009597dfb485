// tarnwell-sample DIR: writes a small sample disc to try every command on.
//   DIR/HVDVD_TS/FEATURE_1.EVO, FEATURE_2.EVO  one title split over two files: VC-1 video,
//                                              DD+ audio 0xC0, DTS-HD audio 0x89, subpictures
//                                              0x20 and 0x21 with time stamps
//   DIR/ADV_OBJ/VPLST000.XPL                   the playlist of that title, when there is one
// The content is fixed, so every run writes the same bytes.

#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>

#include "evo_builder.h"
#include "sample_playlist.h"

namespace {

using namespace tarnwell::fixture;

constexpr int kFramesPerGop = 12;
constexpr std::uint64_t kFrameTicks = 3754;  // 90 kHz ticks of a 23.976 Hz frame

struct TitlePart {
    std::size_t minBytes;
    std::uint32_t seed;
    std::uint64_t firstPts;
};

// One VC-1 frame: a sequence header at the start of each group of pictures, then the frame
// start code and random bytes without start codes.
Bytes videoFrame(int frame, std::uint32_t seed) {
    const std::size_t size = 24000 + 997 * static_cast<std::size_t>(frame % 13);
    if (frame % kFramesPerGop == 0) return vc1Frames(1, size, seed);
    Bytes out{0, 0, 1, 0x0D};
    append(out, randomPayload(size - out.size(), seed));
    return out;
}

Bytes titlePart(const TitlePart& part) {
    PackWriter writer;
    std::uint32_t seed = part.seed;
    std::uint64_t pts = part.firstPts;
    for (int frame = 0; writer.bytes().size() < part.minBytes; ++frame) {
        if (frame % kFramesPerGop == 0) writer.navPack(2, 1);
        writer.write(StreamRef::vc1(0), videoFrame(frame, seed++), pts);
        writer.write(StreamRef::ddplus(0), randomPayload(1792, seed++), pts);
        writer.write(StreamRef::dtshd(1), randomPayload(2600, seed++), pts);
        // A subtitle on every other group of pictures, both languages.
        if (frame % (2 * kFramesPerGop) == 3) {
            writer.write(StreamRef::sub(0), randomPayload(900 + frame % 50, seed++), pts);
            writer.write(StreamRef::sub(1), randomPayload(700 + frame % 40, seed++), pts + 1);
        }
        pts += kFrameTicks;
    }
    return writer.take();
}

void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

void writeBytes(const std::filesystem::path& path, const Bytes& bytes) {
    writeBytes(path, std::string(bytes.begin(), bytes.end()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]).empty() || argv[1][0] == '-') {
        std::fputs(
            "Usage: tarnwell-sample DIR\n"
            "Writes DIR/HVDVD_TS/FEATURE_1.EVO and FEATURE_2.EVO (one title split over two\n"
            "files) and, when the sample playlist exists, DIR/ADV_OBJ/VPLST000.XPL.\n",
            stderr);
        return 2;
    }
    try {
        const std::filesystem::path disc = argv[1];
        std::filesystem::create_directories(disc / "HVDVD_TS");
        // About 6 and 5 MiB: both show progress, which comes every 4 MiB.
        writeBytes(disc / "HVDVD_TS" / "FEATURE_1.EVO", titlePart({6 << 20, 1000, 90000}));
        writeBytes(disc / "HVDVD_TS" / "FEATURE_2.EVO", titlePart({5 << 20, 5000, 90000000}));
        const auto playlist = tarnwell::sample::samplePlaylist();
        if (!playlist.empty()) {
            std::filesystem::create_directories(disc / "ADV_OBJ");
            writeBytes(disc / "ADV_OBJ" / "VPLST000.XPL", playlist);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tarnwell-sample: %s\n", error.what());
        return 1;
    }
    return 0;
}
