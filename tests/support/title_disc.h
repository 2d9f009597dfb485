#pragma once
// A small disc whose titles cover the shapes a disc's playlist gives its clips, with real EVO
// files from the fixture builder (VC-1 video, LPCM audio, a subpicture unit per clip), for the
// `titles` and `mkv` tests:
//   1 "Feature"   FEATURE_1.EVO + FEATURE_2.EVO, time stamps starting again in the second
//   2 "Making Of" MAKING_1.EVO + MAKING_2.EVO, time stamps running on
//   3 "Trailer"   trailer.evo (lower case on disk), in a TitleSet without timeBase (60)
//   4 "Lost Scene" LOST.EVO, which is not on disk
// ADV_OBJ holds VPLST000.XPL, the playlist, and VPLST001.XPL, another one that is not read
// unless asked for.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tarnwell::testing {

struct TitleDiscClip {
    const char* evo;              // the name on disk, in HVDVD_TS
    std::uint64_t firstVideoPts;  // 90 kHz
    std::uint64_t subtitlePts;    // of its one subpicture unit (stream 1, sub00)
};

// Each clip holds two seconds of every stream.
inline constexpr std::uint64_t kTitleDiscClipTicks = 2 * 90000;
inline constexpr TitleDiscClip kTitleDiscClips[] = {
    {"FEATURE_1.EVO", 90000, 90000 + 45000},
    {"FEATURE_2.EVO", 90000, 90000 + 90000},
    {"MAKING_1.EVO", 90000, 90000 + 45000},
    {"MAKING_2.EVO", 90000 + kTitleDiscClipTicks, 90000 + kTitleDiscClipTicks + 90000},
    {"trailer.evo", 180000, 180000 + 45000},
};

// The text of ADV_OBJ/VPLST000.XPL.
const std::string& titleDiscPlaylist();

// Writes the disc into `root` (created when missing).
void writeTitleDisc(const std::filesystem::path& root);

}  // namespace tarnwell::testing
