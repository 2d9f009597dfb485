#pragma once
// The one place where output file names are formed. A job computes the output base once at its
// start (the "Output folder" text joined with the input's stem, plus "_2" when it continues
// into the next EVO file) and every file it creates is named from that base. Nothing is
// checked, collapsed or replaced: the names are exactly the texts joined.

#include <string>
#include <string_view>

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

}  // namespace tarnwell
