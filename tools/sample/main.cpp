// tarnwell-sample DIR: writes a small sample disc whose every title plays, to try every command
// on. The coded streams are built in (tools/make_sample_assets.sh made them); this program lays
// them into 2048-byte packs with the time stamps a disc has, one run per EVO file.
//   DIR/HVDVD_TS/TRAILER.EVO    5 s: MPEG-2 video, DD audio 0x80
//   DIR/HVDVD_TS/FEATURE_1.EVO  the feature's first 24 s,
//   DIR/HVDVD_TS/FEATURE_2.EVO  its last 16 s, the time stamps going on from the first file's:
//                               H.264 video, DD+ audio 0xC0, LPCM audio 0xA1 (from 0.5 s on,
//                               so that it has a delay), subpictures 0x20 (English, one fading
//                               in) and 0x21 (French, one a forced start)
//   DIR/HVDVD_TS/BONUS.EVO      6 s: MPEG-2 video, DD audio 0x80
//   DIR/ADV_OBJ/VPLST000.XPL    the playlist of those titles
// The content is fixed, so every run writes the same bytes.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bitmap_font.h"
#include "coded_units.h"
#include "evo_builder.h"
#include "sample_assets.h"
#include "sample_playlist.h"
#include "subpicture_encoder.h"

namespace {

using namespace tarnwell::fixture;
using tarnwell::sample::CodedUnit;
using tarnwell::sample::sampleAsset;

constexpr std::uint64_t kSecond = 90000;
constexpr std::uint64_t kFirstPts = kSecond;  // where each file's run of time stamps begins
constexpr std::uint64_t kFrameTicks = kSecond / 24;
constexpr std::uint64_t kFeatureSplit = 24 * kSecond;  // FEATURE_2 starts 24 s into the title
constexpr std::uint64_t kFeatureEnd = 40 * kSecond;
constexpr std::uint64_t kCommentaryStart = kSecond / 2;

// A packet's payload with its time stamp, in the order of the time stamps.
struct Packet {
    std::uint64_t pts;
    StreamRef stream;
    Bytes payload;
    bool key = false;
};

// Video frames from `first` to `end`: one packet each, the time stamps from `pts` on.
void addVideo(std::vector<Packet>& out, const StreamRef& stream,
              const std::vector<CodedUnit>& frames, std::size_t first, std::size_t end,
              std::uint64_t pts) {
    for (std::size_t i = first; i < end; ++i, pts += kFrameTicks)
        out.push_back(
            {pts, stream, Bytes(frames[i].bytes.begin(), frames[i].bytes.end()), frames[i].key});
}

// The audio frames within [from, to) of the track's time, whole frames to a packet: a packet's
// time stamp is that of its first frame.
void addAudio(std::vector<Packet>& out, const StreamRef& stream,
              const std::vector<CodedUnit>& frames, std::uint64_t from, std::uint64_t to,
              std::uint64_t pts) {
    const std::size_t capacity = PackWriter::packCapacity(stream, true);
    std::uint64_t time = 0;
    for (const auto& frame : frames) {
        if (time >= from && time + frame.ticks <= to) {
            if (out.empty() || out.back().stream.code != stream.code ||
                out.back().payload.size() + frame.bytes.size() > capacity)
                out.push_back({pts + time - from, stream, {}});
            append(out.back().payload, frame.bytes);
        }
        time += frame.ticks;
    }
}

// The commentary: 48 kHz 16-bit stereo LPCM, a triangle tone of 600 Hz for a tenth of each
// half second, in packets of 10 ms. Computed from integers, so every run writes the same.
void addCommentary(std::vector<Packet>& out, std::uint64_t from, std::uint64_t to,
                   std::uint64_t pts) {
    const StreamRef stream = StreamRef::lpcm(1, {0x00, 0x01, 0x80});  // 16 bit, 48 kHz, 2 ch
    for (std::uint64_t t = from; t < to; t += kSecond / 100) {
        Bytes payload;
        for (std::uint64_t n = t * 48000 / kSecond, end = n + 480; n < end; ++n) {
            const int phase = static_cast<int>(n % 80);  // 600 Hz
            const int value = n % 24000 < 4800 ? (std::abs(phase - 40) - 20) * 400 : 0;
            for (int channel = 0; channel < 2; ++channel) {
                payload.push_back(static_cast<std::uint8_t>(value >> 8));
                payload.push_back(static_cast<std::uint8_t>(value));
            }
        }
        out.push_back({pts + t - from, stream, std::move(payload)});
    }
}

struct Subtitle {
    double from, to;  // seconds of the title
    const char* english;
    const char* french;
};

constexpr Subtitle kSubtitles[] = {
    {1.0, 4.5, "Welcome to the Tarnwell sample disc.", "Bienvenue sur le disque d'essai."},
    {5.0, 8.5, "Every title on it really plays.", "Chaque titre se lit vraiment."},
    {11.0, 15.0, "The boats come in at dusk.", "Les bateaux rentrent au soir."},
    {19.0, 23.0, "We cross the bay by night.", "Nous traversons la baie de nuit."},
    {25.0, 29.0, "The second file carries on.", "Le second fichier prend la suite."},
    {31.0, 35.0, "Home again at last.", "Enfin de retour a la maison."},
    {36.5, 39.5, "Thank you for watching.", "Merci d'avoir regarde."},
};

// A subtitle line as an HD-form subpicture unit with 2-bit colours: white letters with a black
// border near the foot of the 1920x1080 picture. Delays count 1024 ticks.
Bytes subtitleUnit(const char* text, double seconds, bool fadeIn, bool forced) {
    const auto picture = drawText(text, 6);
    SubpictureSpec spec;
    spec.width = picture.width;
    spec.height = picture.height;
    spec.x = (1920 - picture.width) / 2;
    spec.y = 1080 - 110 - picture.height;
    spec.pixels = picture.pixels;
    spec.palette.assign(768, 128);
    const std::uint8_t lumas[] = {16, 235, 16};
    for (int i = 0; i < 3; ++i) spec.palette[3 * i] = lumas[i];
    // Stored as 255 - alpha: colour 0 clear, 1 and 2 opaque.
    spec.alpha.assign(256, 255);
    spec.alpha[1] = spec.alpha[2] = 0;
    if (fadeIn) {
        // A quarter, a half, three quarters, then wholly opaque, a tenth of a second apart.
        for (int step = 1; step <= 3; ++step) {
            Bytes alpha(256, 255);
            alpha[1] = alpha[2] = static_cast<std::uint8_t>(255 - 255 * step / 4);
            spec.fadeAlphas.push_back(std::move(alpha));
        }
        spec.fadeAlphas.push_back(spec.alpha);
        spec.alpha[1] = spec.alpha[2] = 255;
        spec.fadeStep = 9;
    }
    spec.forced = forced;
    spec.stopDelay = static_cast<std::uint16_t>(seconds * kSecond / 1024);
    return encodeSubpictureUnit(spec);
}

void addSubtitles(std::vector<Packet>& out, std::uint64_t from, std::uint64_t to,
                  std::uint64_t pts) {
    for (std::size_t i = 0; i < std::size(kSubtitles); ++i) {
        const auto& s = kSubtitles[i];
        const auto start = static_cast<std::uint64_t>(s.from * kSecond);
        if (start < from || start >= to) continue;
        const double length = s.to - s.from;
        out.push_back({pts + start - from, StreamRef::sub(0),
                       subtitleUnit(s.english, length, i == 0, false)});
        out.push_back(
            {pts + start - from, StreamRef::sub(1), subtitleUnit(s.french, length, false, i == 4)});
    }
}

// The packets in time stamp order, a navigation pack before each frame a decoder can start at.
Bytes evoFile(std::vector<Packet> packets, int audioStreams) {
    std::stable_sort(packets.begin(), packets.end(),
                     [](const Packet& a, const Packet& b) { return a.pts < b.pts; });
    PackWriter writer;
    for (const auto& packet : packets) {
        if (packet.key) writer.navPack(audioStreams, 1);
        writer.write(packet.stream, packet.payload, packet.pts);
    }
    return writer.take();
}

// The trailer and the bonus title: MPEG-2 video and DD audio from the start.
Bytes shortTitle(const char* video, const char* audio) {
    const auto frames = tarnwell::sample::mpeg2Frames(sampleAsset(video));
    std::vector<Packet> packets;
    addVideo(packets, StreamRef::mpeg2(0), frames, 0, frames.size(), kFirstPts);
    addAudio(packets, StreamRef::dd(0), tarnwell::sample::ac3Frames(sampleAsset(audio)), 0,
             frames.size() * kFrameTicks, kFirstPts);
    return evoFile(std::move(packets), 1);
}

// The feature's part [from, to) of its time; its time stamps carry on from the part before.
Bytes featurePart(std::uint64_t from, std::uint64_t to) {
    const auto frames = tarnwell::sample::h264Frames(sampleAsset("feature.h264"));
    const std::uint64_t pts = kFirstPts + from;
    std::vector<Packet> packets;
    addVideo(packets, StreamRef::h264(0), frames, from / kFrameTicks,
             std::min<std::size_t>(frames.size(), to / kFrameTicks), pts);
    addAudio(packets, StreamRef::ddplus(0),
             tarnwell::sample::ac3Frames(sampleAsset("feature.eac3")), from, to, pts);
    addCommentary(packets, std::max(from, kCommentaryStart), to,
                  pts + std::max(from, kCommentaryStart) - from);
    addSubtitles(packets, from, to, pts);
    return evoFile(std::move(packets), 2);
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
            "Writes a sample disc: DIR/HVDVD_TS/TRAILER.EVO, FEATURE_1.EVO and FEATURE_2.EVO\n"
            "(one title split over two files), BONUS.EVO, and DIR/ADV_OBJ/VPLST000.XPL.\n",
            stderr);
        return 2;
    }
    try {
        const std::filesystem::path disc = argv[1];
        const auto evo = disc / "HVDVD_TS";
        std::filesystem::create_directories(evo);
        writeBytes(evo / "TRAILER.EVO", shortTitle("trailer.m2v", "trailer.ac3"));
        writeBytes(evo / "FEATURE_1.EVO", featurePart(0, kFeatureSplit));
        writeBytes(evo / "FEATURE_2.EVO", featurePart(kFeatureSplit, kFeatureEnd));
        writeBytes(evo / "BONUS.EVO", shortTitle("bonus.m2v", "bonus.ac3"));
        std::filesystem::create_directories(disc / "ADV_OBJ");
        writeBytes(disc / "ADV_OBJ" / "VPLST000.XPL", tarnwell::sample::samplePlaylist());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tarnwell-sample: %s\n", error.what());
        return 1;
    }
    return 0;
}
