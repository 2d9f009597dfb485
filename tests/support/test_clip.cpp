#include "support/test_clip.h"

#include <filesystem>

#include "evo_builder.h"
#include "subpicture_encoder.h"
#include "support/shell_output.h"
#include "support/temp_dir.h"

namespace tarnwell::testing {

namespace {

constexpr std::uint64_t kFrameTicks = 90000 / 24;
constexpr std::uint64_t kAudioFrameTicks = 1536 * 90000 / 48000;

// 2 s of E-AC-3 frames from ffmpeg, made once per process.
const std::vector<fixture::Bytes>& audioFrames() {
    static const std::vector<fixture::Bytes> frames = [] {
        TempDir dir;
        const auto file = dir.file("sine.eac3");
        shellOutput(
            "ffmpeg -v error -f lavfi -i sine=duration=2:sample_rate=48000 -ac 2 "
            "-c:a eac3 -f eac3 '" +
            file + "' 2>&1");
        const auto bytes = readFile(file);
        std::vector<fixture::Bytes> cut;
        for (std::size_t at = 0; at + 4 <= bytes.size();) {
            const std::size_t size = (((bytes[at + 2] & 7u) << 8 | bytes[at + 3]) + 1) * 2;
            cut.emplace_back(
                bytes.begin() + static_cast<std::ptrdiff_t>(at),
                bytes.begin() + static_cast<std::ptrdiff_t>(std::min(at + size, bytes.size())));
            at += size;
        }
        return cut;
    }();
    return frames;
}

fixture::Bytes subtitleUnit(int seed) {
    fixture::SubpictureSpec unit;
    unit.x = 200, unit.y = 900, unit.width = 320, unit.height = 32;
    unit.pixels =
        fixture::subpicturePattern(unit.width, unit.height, 4, static_cast<std::uint32_t>(seed));
    for (int i = 0; i < 256; ++i)
        unit.palette.insert(unit.palette.end(), {std::uint8_t(i), 128, 128});
    unit.alpha.assign(256, 0);
    unit.stopDelay = 20;
    return fixture::encodeSubpictureUnit(unit);
}

}  // namespace

void writeTestClip(const std::string& path, const TestClip& clip) {
    fixture::PackWriter out;
    out.navPack(clip.withSecondAudio ? 2 : 1, 1);
    const auto video =
        fixture::vc1Frames(clip.frames, 3000, static_cast<std::uint32_t>(clip.firstPts));
    // The sequence and entry point headers go with the first frame.
    std::vector<std::size_t> starts;
    for (std::size_t at = 4; at + 4 <= video.size(); ++at)
        if (video[at] == 0 && video[at + 1] == 0 && video[at + 2] == 1 && video[at + 3] == 0x0D)
            starts.push_back(at);
    starts.push_back(video.size());
    const auto& audio = audioFrames();
    std::size_t nextAudio = 0, nextSubtitle = 0;
    const auto audioUntil = [&](std::uint64_t ticks) {
        for (; nextAudio < audio.size() && nextAudio * kAudioFrameTicks <= ticks; ++nextAudio) {
            const auto pts = clip.firstPts + nextAudio * kAudioFrameTicks;
            out.write(fixture::StreamRef::ddplus(0), audio[nextAudio], pts);
            if (clip.withSecondAudio)
                out.write(fixture::StreamRef::ddplus(1), audio[nextAudio], pts);
        }
    };
    for (int frame = 0; frame < clip.frames; ++frame) {
        const std::uint64_t ticks = static_cast<std::uint64_t>(frame) * kFrameTicks;
        const auto f = static_cast<std::size_t>(frame);
        const std::size_t from = frame == 0 ? 0 : starts[f];
        const std::size_t to = starts[f + 1];
        out.write(fixture::StreamRef::vc1(0), std::span(video).subspan(from, to - from),
                  clip.firstPts + ticks);
        audioUntil(ticks + kFrameTicks);
        while (nextSubtitle < clip.subtitlesAt.size() &&
               clip.subtitlesAt[nextSubtitle] * 90000 < double(ticks + kFrameTicks)) {
            out.write(
                fixture::StreamRef::sub(0), subtitleUnit(static_cast<int>(nextSubtitle)),
                clip.firstPts + static_cast<std::uint64_t>(clip.subtitlesAt[nextSubtitle] * 90000));
            ++nextSubtitle;
        }
    }
    audioUntil(~std::uint64_t{0} / 2);
    writeFile(path, out.take());
}

}  // namespace tarnwell::testing
