#include "disc/title_summary.h"

#include <algorithm>
#include <cstdio>

namespace tarnwell::disc {

std::string durationText(const Title& title) {
    if (!title.duration) return "no duration";
    const std::int64_t ns = toNanoseconds(*title.duration, title.timeBase);
    const std::int64_t ms = ns / 1'000'000 + (ns % 1'000'000 >= 500'000 ? 1 : 0);
    char text[48];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%03lld",
                  static_cast<long long>(ms / 3'600'000), static_cast<long long>(ms / 60'000 % 60),
                  static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
    return text;
}

std::string filesText(const Title& title) {
    std::string files;
    for (const auto& clip : title.clips) {
        if (!files.empty()) files += " + ";
        files += clip.evo.empty() ? "(no file)" : clip.evo.filename().string();
        if (!clip.evo.empty() && !clip.present) files += " (missing)";
    }
    return files.empty() ? "no clips" : files;
}

std::string tracksText(const std::vector<Track>& tracks) {
    if (tracks.empty()) return "none";
    std::string text;
    for (const auto& track : tracks) {
        if (!text.empty()) text += " | ";
        text += track.language;
        if (!track.codec.empty()) text += " " + track.codec;
        if (track.channels) text += " " + std::to_string(*track.channels) + "ch";
        if (!track.description.empty()) text += " \"" + track.description + "\"";
    }
    return text;
}

std::string chaptersText(const Title& title) {
    const auto chapters = title.chapters.size();
    return std::to_string(chapters) + (chapters == 1 ? " chapter" : " chapters");
}

bool complete(const Title& title) {
    return !title.clips.empty() && std::all_of(title.clips.begin(), title.clips.end(),
                                               [](const Clip& clip) { return clip.present; });
}

const Title* longestCompleteTitle(const Disc& disc) {
    const Title* longest = nullptr;
    double longestSeconds = -1;
    for (const auto& title : disc.titles) {
        if (!complete(title)) continue;
        const double seconds = title.duration ? toSeconds(*title.duration, title.timeBase) : 0;
        if (seconds > longestSeconds) {
            longest = &title;
            longestSeconds = seconds;
        }
    }
    return longest;
}

}  // namespace tarnwell::disc
