#include "playlist/playlist_state.h"

namespace tarnwell {

PlaylistState::PlaylistState() : tree{{"Video", {}}, {"Audio", {}}, {"Subpicture", {}}, {"Chapter", {}}} {}

}  // namespace tarnwell
