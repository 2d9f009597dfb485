#pragma once
// The checks run on every tag line as the scan finishes it: the playlist's name and the media
// attribute items that fill the attribute tables. Each lookup of an item keeps what it found
// last in an item of the same kind during this read, so the closing tag of an item written
// with a separate closing tag applies the entry of its opening tag once more.

#include <string>
#include <string_view>

#include "io/file_error.h"
#include "playlist/playlist_state.h"

namespace tarnwell {

// "'<value>' is not a valid integer value", the error of an item index that isn't an integer.
std::string invalidIntegerText(std::string_view value);

class TagChecks {
  public:
    // One read: the playlist name starts empty, and so do the remembered item values.
    explicit TagChecks(PlaylistState& playlist) : playlist_(playlist) {}

    // Runs every check whose element name the line contains (letter case respected).
    // Throws PlaylistError when an attribute item's index isn't an integer.
    void run(std::string_view tag);

    const std::string& playlistName() const { return playlistName_; }

  private:
    struct ItemMemory {
        std::string index;
        std::string codec;
        std::string channels;
    };

    // The item's index as a table position, 0 when outside 1..8.
    static int tableIndex(const std::string& indexText);
    static void keepFound(std::string& memory, std::string_view tag, std::string_view name);

    PlaylistState& playlist_;
    std::string playlistName_;
    ItemMemory video_;
    ItemMemory audio_;
    ItemMemory sub_;
};

}  // namespace tarnwell
