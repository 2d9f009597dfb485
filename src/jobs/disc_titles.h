#pragma once
// A disc's title as the title job takes it: the clips with their EVO paths and places on the
// title's time line, the streams it lists with their names and languages, its chapters.

#include "disc/disc_model.h"
#include "jobs/title_mkv_job.h"

namespace tarnwell {

// Times as the playlist gives them, on the title's time line. A missing clip keeps the path
// its name gives, so the title fails on it alone.
TitlePlan titlePlan(const disc::Disc& disc, const disc::Title& title);

}  // namespace tarnwell
