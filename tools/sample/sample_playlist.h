#pragma once
#include <string>

namespace tarnwell::sample {

// The text of the sample disc's playlist, ADV_OBJ/VPLST000.XPL. Its feature title plays
// HVDVD_TS/FEATURE_1.EVO then FEATURE_2.EVO with VC-1 video track 1, audio streams 1 (DD+) and
// 2 (DTS-HD) and subtitle streams 1 and 2; a trailer and a bonus title play other clips.
std::string samplePlaylist();

}  // namespace tarnwell::sample
