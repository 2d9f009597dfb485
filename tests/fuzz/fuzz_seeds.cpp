// fuzz_seeds DIR: writes the seed corpus of every fuzz target into DIR/<target>/, made with
// the fixture builder and the sample disc's playlist, so the fuzzers start from inputs that
// pass the first checks (start codes, pack headers, tags) and mutate from there.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "evo_builder.h"
#include "sample_playlist.h"
#include "subpicture_encoder.h"

namespace {

using namespace tarnwell::fixture;

void save(const std::filesystem::path& folder, int number, const Bytes& bytes) {
    std::filesystem::create_directories(folder);
    std::ofstream out(folder / ("seed-" + std::to_string(number)), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// A short title with every kind of stream: video of each codec, every audio class, both
// subpicture kinds with time stamps, navigation and padding packs.
Bytes everyStreamTitle(std::uint32_t seed) {
    PackWriter writer;
    writer.navPack(3, 1);
    writer.write(StreamRef::vc1(0), vc1Frames(2, 3000, seed), 90000);
    writer.write(StreamRef::mpeg2(0), mpeg2Pictures(2, 1500, seed + 1), 90000);
    writer.write(StreamRef::h264(1), h264AccessUnits(2, 1500, seed + 2), 90000);
    writer.write(StreamRef::ddplus(0), randomPayload(1200, seed + 3), 90000);
    writer.write(StreamRef::dtshd(1), randomPayload(900, seed + 4), 93000);
    writer.write(StreamRef::dd(2), randomPayload(600, seed + 5));
    writer.write(StreamRef::lpcm(0), randomPayload(600, seed + 6), 96000);
    writer.write(StreamRef::mlp(1), randomPayload(600, seed + 7));
    writer.write(StreamRef::mpegAudio(2), randomPayload(600, seed + 8), 99000);
    writer.write(StreamRef::sub(0), randomPayload(300, seed + 9), 100000);
    writer.write(StreamRef::extSub(1), randomPayload(300, seed + 10), 101000);
    writer.paddingPack();
    return writer.take();
}

// A title as discs have it: VC-1, DD+, DTS-HD and two subpicture streams.
Bytes featureTitle(std::uint32_t seed) {
    PackWriter writer;
    writer.navPack(2, 1);
    for (int frame = 0; frame < 3; ++frame) {
        writer.write(StreamRef::vc1(0), vc1Frames(1, 5000, seed + frame), 3754u * frame);
        writer.write(StreamRef::ddplus(0), randomPayload(800, seed + 10 + frame), 3754u * frame);
        writer.write(StreamRef::dtshd(1), randomPayload(800, seed + 20 + frame));
    }
    writer.write(StreamRef::sub(0), randomPayload(200, seed + 30), 5000);
    writer.write(StreamRef::sub(1), randomPayload(200, seed + 31), 6000);
    return writer.take();
}

void scanLoopSeeds(const std::filesystem::path& folder) {
    // Control bytes: flags, zero bytes before the body, ticked slots.
    const std::vector<Bytes> controls = {
        {0x02, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},        // read mode, count frames
        {0x03, 0, 0, 0x03, 0xFF, 0xFF, 0xFF, 0xFF},        // demux everything
        {0x07, 0x7F, 0x10, 0x00, 0x00, 0x01, 0x00, 0x05},  // demux some, twice, near a boundary
        {0x0D, 0x3F, 0xF0, 0x03, 0xFF, 0xFC, 0x00, 0x03},  // three copies, no frame counting
    };
    int number = 0;
    for (const Bytes& control : controls) {
        for (const Bytes& title : {everyStreamTitle(7), featureTitle(11)}) {
            Bytes input = control;
            append(input, title);
            save(folder, number++, input);
        }
    }
}

void packRuleSeeds(const std::filesystem::path& folder) {
    // Tables as a Read EVO leaves them, and one marked by a playlist.
    std::vector<Bytes> tables;
    Bytes found(34, 0xFF);
    found[0] = 0x55;
    found[1] = 0xE2;
    const std::uint8_t audio[] = {0xC0, 0xC1, 0x89, 0x82, 0xA0, 0xB1, 0xC2};
    for (std::size_t n = 0; n < std::size(audio); ++n) found[2 + n] = audio[n];
    found[18] = 0x20;
    found[19] = 0x61;
    tables.push_back(found);
    Bytes marked(34, 0xFF);
    marked[0] = 0xFE;
    marked[2] = 0xFE;
    marked[18] = 0xFE;
    tables.push_back(marked);

    const Bytes ticked[] = {{0x03, 0xFF, 0xFF, 0xFF, 0xFF}, {0x00, 0x00, 0x04, 0x00, 0x15}};
    int number = 0;
    for (const Bytes& table : tables) {
        for (const Bytes& selection : ticked) {
            for (const Bytes& title : {everyStreamTitle(3), featureTitle(5)}) {
                Bytes input = table;
                append(input, selection);
                for (std::size_t at = 0; at + 2048 <= title.size(); at += 2048) {
                    // Now and then a slot toggled before the pack.
                    input.push_back(at % 8192 == 4096 ? std::uint8_t(0x80 | (at / 2048) % 34) : 0);
                    input.insert(input.end(), title.begin() + at, title.begin() + at + 2048);
                }
                // A short last block.
                input.insert(input.end(), {0x40, 0x01, 0x00});
                input.insert(input.end(), title.begin(), title.begin() + 256);
                save(folder, number++, input);
            }
        }
    }
}

void playlistSeeds(const std::filesystem::path& folder) {
    const std::string playlist = tarnwell::sample::samplePlaylist();
    int number = 0;
    for (const std::uint8_t control : {0x01, 0x00, 0x03, 0x2F}) {
        Bytes input{control};
        input.insert(input.end(), playlist.begin(), playlist.end());
        save(folder, number++, input);
    }
    const std::string pieces[] = {
        "<Playlist displayName=\"Disc\"><MediaAttributeList><VideoAttributeItem index=\"1\" "
        "codec=\"VC-1\"/><AudioAttributeItem index=\"1\" codec=\"DD+\" channels=\"6\"/>"
        "<SubpictureAttributeItem index=\"1\"/></MediaAttributeList>"
        "<Title id=\"t\" displayName=\"Main\" titleDuration=\"01:00:00:00\"><PrimaryAudioVideoClip "
        "src=\"file:///dvddisc/HVDVD_TS/FEATURE_1.MAP\"><Video track=\"1\" mediaAttr=\"1\"/>"
        "<Audio track=\"2\" streamNumber=\"1\" mediaAttr=\"1\" langcode=\"en\" "
        "description=\"Eng\"/>"
        "<Subtitle track=\"1\" streamNumber=\"1\" mediaAttr=\"1\" langcode=\"fr\"/>"
        "</PrimaryAudioVideoClip><ChapterList><Chapter displayName=\"One\" titleTimeBegin=\"00:00:"
        "00:00\"/></ChapterList></Title></Playlist>",
        "<?xml version=\"1.0\"?><!-- note --><a><b/><c>\n\t</c></a><never closed",
    };
    for (const std::string& piece : pieces) {
        Bytes input{0x01};
        input.insert(input.end(), piece.begin(), piece.end());
        save(folder, number++, input);
    }
}

// The sample disc's playlist, and one with two TitleSets of their own time bases.
void discModelSeeds(const std::filesystem::path& folder) {
    const std::string sample = tarnwell::sample::samplePlaylist();
    const std::string two =
        "<Playlist displayName=\"Disc\"><TitleSet timeBase=\"50\"><Title titleNumber=\"2\" "
        "displayName=\"A: B\" titleDuration=\"00:00:10:25\"><PrimaryAudioVideoClip "
        "src=\"file:///dvddisc/HVDVD_TS/A_1.MAP\" titleTimeBegin=\"00:00:00:00\" "
        "titleTimeEnd=\"00:00:05:00\"/><PrimaryAudioVideoClip src=\"file:///dvddisc/HVDVD_TS/"
        "A_2.MAP\" titleTimeBegin=\"00:00:05:00\" clipTimeBegin=\"00:00:01:10\"/><ChapterList>"
        "<Chapter titleTimeBegin=\"00:00:02:00\" displayName=\"Two\"/></ChapterList></Title>"
        "</TitleSet><TitleSet><Title displayName=\"A: B\"/></TitleSet></Playlist>";
    int number = 0;
    for (const std::string* text : {&sample, &two}) save(folder, number++, Bytes(text->begin(), text->end()));
}

// Encoded units of both forms and colour sizes, a fade, two units back to back.
void subpictureSeeds(const std::filesystem::path& folder) {
    int number = 0;
    for (const bool hd : {true, false}) {
        for (const bool eightBit : {false, true}) {
            if (!hd && eightBit) continue;
            SubpictureSpec s;
            s.hdForm = hd;
            s.eightBitRuns = eightBit;
            s.x = 10, s.y = 20, s.width = 150, s.height = 9;
            s.pixels = subpicturePattern(s.width, s.height, eightBit ? 256 : 4, 7);
            s.palette = hd ? Bytes(768, 0x80) : Bytes{0x12, 0x34};
            s.alpha = hd ? Bytes(256, 0x10) : Bytes{0xF0, 0x0F};
            if (hd) s.fadeAlphas = {Bytes(256, 0x00)};
            s.stopDelay = 50;
            const Bytes unit = encodeSubpictureUnit(s);
            for (const std::uint8_t control : {0x7F, 0x02, 0x85}) {
                Bytes input{control};
                append(input, unit);
                append(input, unit);
                save(folder, number++, input);
            }
        }
    }
}

// AC-3 frames (32 kbit/s at 48 kHz, 128 bytes) or E-AC-3 frames (256 bytes): sync word and a
// plausible header, random bytes after it.
Bytes dolbyFrames(int frames, bool enhanced, std::uint32_t seed) {
    const Bytes header = enhanced ? Bytes{0x0B, 0x77, 0x00, 0x7F, 0x34, 0x80}
                                  : Bytes{0x0B, 0x77, 0x5A, 0x11, 0x00, 0x40, 0x40};
    Bytes out;
    for (int n = 0; n < frames; ++n) {
        append(out, header);
        append(out, randomPayload((enhanced ? 256 : 128) - header.size(), seed + n));
    }
    return out;
}

Bytes smallUnit(bool hd, std::uint32_t seed) {
    SubpictureSpec s;
    s.hdForm = hd;
    s.x = 40, s.y = 900, s.width = 64, s.height = 6;
    s.pixels = subpicturePattern(s.width, s.height, 4, seed);
    s.palette = hd ? Bytes(768, 0x80) : Bytes{0x12, 0x34};
    s.alpha = hd ? Bytes(256, 0x10) : Bytes{0xF0, 0x0F};
    s.stopDelay = 40;
    return encodeSubpictureUnit(s);
}

// A title for the Matroska-ready Demux: video, AC-3 and E-AC-3, LPCM with a valid and with an
// invalid format byte, and two subpicture streams of several units each (the third unit of
// the first stream with a size field one byte too large when `damaged`).
Bytes matroskaTitle(bool damaged, std::uint32_t seed) {
    PackWriter writer;
    writer.navPack(4, 1);
    const StreamRef badLpcm = StreamRef::lpcm(3, {0x00, 0xC1, 0x05});
    for (int n = 0; n < 4; ++n) {
        const std::uint64_t pts = 90000 + 45000u * n;
        writer.write(StreamRef::vc1(0), vc1Frames(1, 1500, seed + n), pts);
        writer.write(StreamRef::dd(0), dolbyFrames(3, false, seed + n), pts);
        writer.write(StreamRef::ddplus(1), dolbyFrames(2, true, seed + n), pts);
        writer.write(StreamRef::lpcm(2), randomPayload(960, seed + n), pts);
        writer.write(badLpcm, randomPayload(480, seed + n), pts);
        Bytes unit = smallUnit(true, seed + n);
        if (damaged && n == 2) ++unit[5];
        writer.write(StreamRef::sub(0), unit, pts + 1000);
        writer.write(StreamRef::sub(1), smallUnit(false, seed + n), pts + 2000);
    }
    return writer.take();
}

// Control bytes: flags, the pack of the second part, the slots unticked.
void matroskaDemuxSeeds(const std::filesystem::path& folder) {
    const std::vector<Bytes> controls = {
        {0x03, 0, 0, 0, 0, 0},              // fast check, count frames, everything ticked
        {0x04, 12, 0, 0, 0, 0},             // two parts, the second from pack 12
        {0x01, 0, 0x00, 0x00, 0x00, 0x22},  // video 1 and the bad LPCM unticked
    };
    int number = 0;
    for (const Bytes& control : controls) {
        for (const bool damaged : {false, true}) {
            Bytes input = control;
            append(input, matroskaTitle(damaged, 21));
            save(folder, number++, input);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    scanLoopSeeds(root / "scan_loop");
    packRuleSeeds(root / "pack_rules");
    playlistSeeds(root / "playlist");
    subpictureSeeds(root / "subpicture");
    matroskaDemuxSeeds(root / "matroska_demux");
    discModelSeeds(root / "disc_model");
    return 0;
}
