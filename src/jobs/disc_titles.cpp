#include "jobs/disc_titles.h"

namespace tarnwell {

namespace {

std::vector<TitleTrackPlan> trackPlans(const std::vector<disc::Track>& tracks) {
    std::vector<TitleTrackPlan> plans;
    for (const auto& track : tracks)
        plans.push_back({track.stream, track.description, track.language});
    return plans;
}

}  // namespace

TitlePlan titlePlan(const disc::Disc& disc, const disc::Title& title) {
    TitlePlan plan;
    plan.number = title.number;
    plan.name = title.name;
    for (const auto& clip : title.clips)
        plan.clips.push_back({(disc.root / clip.evo).string(),
                              disc::toNanoseconds(clip.titleBegin, title.timeBase),
                              disc::toNanoseconds(clip.clipBegin, title.timeBase)});
    plan.audio = trackPlans(title.audio);
    plan.subtitles = trackPlans(title.subtitles);
    for (const auto& chapter : title.chapters)
        plan.chapters.push_back({disc::toNanoseconds(chapter.start, title.timeBase), chapter.name});
    return plan;
}

}  // namespace tarnwell
