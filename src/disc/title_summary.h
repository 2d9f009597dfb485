#pragma once
// A title in words, as `tarnwell-cli titles` lists it and the window's Titles tab shows it, and
// the title a user most likely wants: one place for both, so the two never drift apart.

#include <optional>
#include <string>
#include <vector>

#include "disc/disc_model.h"

namespace tarnwell::disc {

// "1:02:03.500"; "no duration" when the playlist gives none.
std::string durationText(const Title& title);
// The EVO file names of the clips in order, "FEATURE_1.EVO + FEATURE_2.EVO (missing)";
// "no clips" when there are none.
std::string filesText(const Title& title);
// "en DD+ 6ch \"Director\" | fr DD 2ch"; "none" when there are no tracks.
std::string tracksText(const std::vector<Track>& tracks);
// "1 chapter", "12 chapters".
std::string chaptersText(const Title& title);

// Every EVO file the title plays is on disk (and it plays at least one).
bool complete(const Title& title);
// The longest complete title (by its duration; the first of equals), the one a run without a
// choice takes; none when no title is complete.
const Title* longestCompleteTitle(const Disc& disc);

}  // namespace tarnwell::disc
