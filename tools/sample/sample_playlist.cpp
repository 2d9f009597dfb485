// PLACEHOLDER until the sample playlist is written; replace this whole file.
#include "sample_playlist.h"

namespace tarnwell::sample {

std::string samplePlaylist() { return {}; }

}  // namespace tarnwell::sample
