#include "cli/titles_output.h"

#include <nlohmann/json.hpp>

#include "disc/title_summary.h"
#include "selection/stream_selection.h"

namespace tarnwell::cli {

namespace {

// nlohmann's ordered object keeps the fields in the order the manual page lists them.
using Json = nlohmann::ordered_json;

Json secondsOrNull(const std::optional<std::int64_t>& frames, std::int32_t timeBase) {
    return frames ? Json(disc::toSeconds(*frames, timeBase)) : Json(nullptr);
}

// "audio03" for stream 4; null for a stream that no check box holds.
Json slotOf(SlotKind kind, int stream) {
    const int n = stream - 1;
    return n >= 0 && n < StreamSelection::slotCount(kind) ? Json(slotName(kind, n)) : Json(nullptr);
}

Json tracksJson(SlotKind kind, const std::vector<disc::Track>& tracks) {
    Json list = Json::array();
    for (const auto& track : tracks)
        list.push_back({
            {"stream", track.stream},
            {"slot", slotOf(kind, track.stream)},
            {"codec", track.codec},
            {"channels", track.channels ? Json(*track.channels) : Json(nullptr)},
            {"language", track.language},
            {"description", track.description},
        });
    return list;
}

}  // namespace

std::string titlesText(const disc::Disc& disc) {
    std::string text;
    for (const auto& title : disc.titles) {
        text += "Title " + std::to_string(title.number) + ": \"" + title.name + "\", ";
        text += disc::durationText(title) + ", " + disc::filesText(title);
        text += ", " + disc::chaptersText(title);
        text += ", audio: " + disc::tracksText(title.audio);
        text += ", subtitles: " + disc::tracksText(title.subtitles) + "\n";
    }
    return text;
}

std::string titlesJsonText(const disc::Disc& disc) {
    Json titles = Json::array();
    for (const auto& title : disc.titles) {
        const auto base = title.timeBase;
        Json clips = Json::array();
        for (const auto& clip : title.clips)
            clips.push_back({
                {"evo", clip.evo.generic_string()},
                {"present", clip.present},
                {"size", clip.size ? Json(*clip.size) : Json(nullptr)},
                {"title_begin_s", disc::toSeconds(clip.titleBegin, base)},
                {"title_end_s", secondsOrNull(clip.titleEnd, base)},
                {"clip_begin_s", disc::toSeconds(clip.clipBegin, base)},
            });
        Json video = Json::array();
        for (const auto& track : title.video)
            video.push_back({{"track", track.track}, {"codec", track.codec}});
        Json chapters = Json::array();
        for (const auto& chapter : title.chapters)
            chapters.push_back(
                {{"start_s", disc::toSeconds(chapter.start, base)}, {"name", chapter.name}});
        titles.push_back({
            {"number", title.number},
            {"id", title.id},
            {"name", title.name},
            {"duration_s", secondsOrNull(title.duration, base)},
            {"clips", clips},
            {"video", video},
            {"audio", tracksJson(SlotKind::Audio, title.audio)},
            {"subtitles", tracksJson(SlotKind::Subpicture, title.subtitles)},
            {"chapters", chapters},
        });
    }
    const Json document = {
        {"name", disc.name},
        {"playlist", disc.playlist.generic_string()},
        {"titles", titles},
    };
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace tarnwell::cli
