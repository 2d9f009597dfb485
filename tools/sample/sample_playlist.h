#pragma once
#include <string>

namespace tarnwell::sample {

// The text of a disc playlist (VPLST000.XPL) for the sample disc's split title; empty until
// the playlist reader's sample is written.
std::string samplePlaylist();

}  // namespace tarnwell::sample
