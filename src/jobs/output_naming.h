#pragma once
// The one place where output file names are formed. A job computes the output base once at its
// start (the "Output folder" text joined with the input's stem, plus "_2" when it continues
// into the next EVO file) and every file it creates is named from that base. Nothing is
// checked, collapsed or replaced: the names are exactly the texts joined.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "selection/stream_selection.h"

namespace tarnwell {

// The "Output folder" text, a separator unless the text already ends with one, and the stem
// (`EVObase`). An empty folder gives the bare stem, so the files go to the current folder.
std::string outputBase(std::string_view workdir, std::string_view stem);

// A stream file: base "." caption "." extension. An empty extension leaves the final period.
std::string streamFileName(std::string_view base, std::string_view caption,
                           std::string_view extension);

// The time-stamp file of a subpicture stream: base "." caption ".pts".
std::string ptsFileName(std::string_view base, std::string_view caption);

// The rebuilt EVO file: base ".rebuilt.EVO".
std::string rebuiltFileName(std::string_view base);

// ---- Matroska-ready files ---------------------------------------------------------------

// The extension that names a stream's codec, from the code the scan found for the slot:
// m2v, h264, vc1; ac3, eac3, dts, thd, wav; sup for every subpicture stream. Empty for a code
// that names no known codec.
std::string_view codecExtension(SlotKind kind, std::int32_t code);

// The delay of an audio stream against video stream 0 in milliseconds: the difference of the
// first PTS values taken as a signed 33-bit number, divided by 90 and rounded half away from
// zero. 0 when either stream has no first PTS (a negative value).
std::int64_t streamDelayMs(std::int64_t firstPts, std::int64_t videoFirstPts);

// A stream file with its delay: base "." caption " DELAY <N>ms" "." extension; without the
// delay part when the delay is 0.
std::string delayedStreamFileName(std::string_view base, std::string_view caption,
                                  std::int64_t delayMs, std::string_view extension);

// base ".chapters.xml", base ".mkvmerge.json" and base ".mkv".
std::string chaptersFileName(std::string_view base);
std::string mkvmergeOptionFileName(std::string_view base);
std::string matroskaFileName(std::string_view base);

// ---- One Matroska file per title -------------------------------------------------------

// The file names (without ".mkv") of the titles of one run, given as (number, displayName), in
// the order given. The name is made safe for any file system a user copies to: / \ : * ? " < >
// | and control characters become "_"; an empty name becomes "Title N"; a name longer than
// kTitleNameBytes bytes is cut there, before a UTF-8 character, not inside it. A name met again
// (letter case aside) gets " (2)", " (3)", ... in title-number order.
inline constexpr std::size_t kTitleNameBytes = 200;
std::vector<std::string> titleFileNames(const std::vector<std::pair<int, std::string>>& titles);

// The work folder of title N inside the output folder: DIR "/.tarnwell-title-N".
std::string titleWorkFolder(std::string_view dir, int number);

// DIR "/" NAME ".mkv".
std::string titleMatroskaFile(std::string_view dir, std::string_view name);

}  // namespace tarnwell
