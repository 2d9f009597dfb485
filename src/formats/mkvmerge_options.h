#pragma once
// The mkvmerge option file that turns the files of a Matroska-ready Demux into one Matroska
// file: a JSON array of strings, so `mkvmerge @FILE` runs from any folder (every path in it is
// absolute). Each elementary stream file holds one track, track 0.

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwell {

struct MkvmergeTrack {
    std::string file;
    std::string language;      // empty: "und"
    std::string name;          // empty: no --track-name
    std::int64_t delayMs = 0;  // --sync 0:N unless 0
};

struct MkvmergeJob {
    std::string output;                 // the Matroska file
    std::string title;                  // empty: no --title
    std::string chapters;               // empty: no --chapters
    std::vector<MkvmergeTrack> tracks;  // in box order
};

// The option file's arguments, in order: --output, --title, --chapters, then per track its
// --language, --track-name and --sync before the file.
std::vector<std::string> mkvmergeArguments(const MkvmergeJob& job);
// The arguments as the option file's text (a JSON array, one string per line).
std::string mkvmergeOptionText(const MkvmergeJob& job);
// Creates the file `name` and writes the text, through the file layer.
void writeMkvmergeOptionFile(const std::string& name, const MkvmergeJob& job);

}  // namespace tarnwell
