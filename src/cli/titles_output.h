#pragma once
// What `titles` prints: one line per title of the disc model, or with --json one document
// under field names that stay as they are (new fields may be added, none renamed or dropped).

#include <string>

#include "disc/disc_model.h"

namespace tarnwell::cli {

// One line per title, each ending in a newline: number, name, duration, the EVO files of its
// clips in order (" (missing)" after one that is not on disk), the chapter count, then the
// audio and subtitle tracks (language, codec, channels, description).
std::string titlesText(const disc::Disc& disc);

// The whole document, indented by two, ending in a newline. Times in seconds; bytes that are
// not UTF-8 come out as U+FFFD.
std::string titlesJsonText(const disc::Disc& disc);

}  // namespace tarnwell::cli
