// tarnwell-bench-disc: how long the disc model of a large disc takes to build, from the
// playlist text alone (readPlaylist) and from a disc folder (openDisc, which also lists
// HVDVD_TS and looks up every clip's EVO file). The disc: 100 titles of two clips each, every
// clip with a video, four audio and four subtitle tracks, and 1,000 chapters in all. Target:
// under 50 ms for the whole model.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "disc/disc_model.h"

namespace {

namespace fs = std::filesystem;

constexpr int kTitles = 100;
constexpr int kChaptersPerTitle = 10;

std::string timeCode(int seconds) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d:00", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

std::string clipName(int title, int part) {
    return "T" + std::to_string(title) + "_" + std::to_string(part);
}

std::string largePlaylist() {
    std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<Playlist xmlns="http://www.dvdforum.org/2005/HDDVDVideo/Playlist" displayName="LARGE DISC">
<MediaAttributeList><VideoAttributeItem index="1" codec="VC-1"/>
<AudioAttributeItem index="1" codec="DD+" channels="6"/><AudioAttributeItem index="2" codec="DTS-HD" channels="8"/>
<SubpictureAttributeItem index="1" codec="8bitRLC"/></MediaAttributeList>
<TitleSet timeBase="24fps">
)";
    const char* languages[] = {"en", "fr", "de", "es"};
    for (int t = 1; t <= kTitles; ++t) {
        xml += "<Title id=\"T" + std::to_string(t) + "\" titleNumber=\"" + std::to_string(t) +
               "\" displayName=\"Title " + std::to_string(t) + "\" titleDuration=\"" +
               timeCode(3600) + "\">\n<TrackNavigationList>";
        for (int a = 1; a <= 4; ++a)
            xml += "<AudioTrack track=\"" + std::to_string(a) + "\" langcode=\"" +
                   languages[a - 1] + ":00\"/>";
        xml += "</TrackNavigationList>\n";
        for (int part = 1; part <= 2; ++part) {
            xml += "<PrimaryAudioVideoClip dataSource=\"Disc\" titleTimeBegin=\"" +
                   timeCode((part - 1) * 1800) + "\" titleTimeEnd=\"" + timeCode(part * 1800) +
                   "\" src=\"file:///dvddisc/HVDVD_TS/" + clipName(t, part) +
                   ".MAP\" clipTimeBegin=\"00:00:00:00\">\n<Video track=\"1\" mediaAttr=\"1\"/>\n";
            for (int s = 1; s <= 4; ++s) {
                const std::string n = std::to_string(s);
                const std::string lang = std::string(languages[s - 1]) + ":00";
                xml += "<Audio track=\"" + n + "\" streamNumber=\"" + n + "\" mediaAttr=\"" +
                       (s % 2 ? "1" : "2") + "\" langcode=\"" + lang + "\" description=\"Audio " +
                       n + "\"/>\n<Subtitle track=\"" + n + "\" streamNumber=\"" + n +
                       "\" mediaAttr=\"1\" langcode=\"" + lang + "\" description=\"Subtitle " + n +
                       "\"/>\n";
            }
            xml += "</PrimaryAudioVideoClip>\n";
        }
        xml += "<ChapterList>\n";
        for (int c = 0; c < kChaptersPerTitle; ++c)
            xml += "<Chapter titleTimeBegin=\"" + timeCode(c * 360) + "\" displayName=\"Chapter " +
                   std::to_string(c + 1) + "\"/>\n";
        xml += "</ChapterList>\n</Title>\n";
    }
    return xml + "</TitleSet>\n</Playlist>\n";
}

void checkModel(benchmark::State& state, const tarnwell::disc::Disc& disc) {
    std::size_t chapters = 0;
    for (const auto& title : disc.titles) chapters += title.chapters.size();
    if (disc.titles.size() != kTitles || chapters != kTitles * kChaptersPerTitle)
        state.SkipWithError("the model does not hold the whole disc");
}

void BM_ReadPlaylist(benchmark::State& state) {
    const std::string xml = largePlaylist();
    for (auto _ : state) {
        auto disc = tarnwell::disc::readPlaylist(xml);
        benchmark::DoNotOptimize(disc);
        state.PauseTiming();
        checkModel(state, disc);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * xml.size()));
}
BENCHMARK(BM_ReadPlaylist)->Unit(benchmark::kMillisecond);

// The disc folder in the temporary folder: the playlist and an empty EVO file per clip.
struct LargeDisc {
    fs::path root =
        fs::temp_directory_path() / ("tarnwell-bench-disc-" + std::to_string(::getpid()));
    LargeDisc() {
        fs::create_directories(root / "ADV_OBJ");
        fs::create_directories(root / "HVDVD_TS");
        std::ofstream(root / "ADV_OBJ" / "VPLST000.XPL") << largePlaylist();
        for (int t = 1; t <= kTitles; ++t)
            for (int part = 1; part <= 2; ++part)
                std::ofstream(root / "HVDVD_TS" / (clipName(t, part) + ".EVO"));
    }
    ~LargeDisc() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
};

void BM_OpenDisc(benchmark::State& state) {
    const LargeDisc disc;
    for (auto _ : state) {
        auto model = tarnwell::disc::openDisc(disc.root);
        benchmark::DoNotOptimize(model);
        state.PauseTiming();
        checkModel(state, model);
        if (!model.titles.back().clips.back().present) state.SkipWithError("a clip is missing");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenDisc)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
