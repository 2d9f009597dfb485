#pragma once
// What the playlist reader keeps between reads: the attribute tables, the tag line list shown
// in the XPL tab's text view, and the tree shown beside it. Changes go through the member
// functions so that every observer hears of them; a view reads the fields directly.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

struct TreeNode {
    std::string text;
    std::vector<TreeNode> children;
    bool operator==(const TreeNode&) const = default;
};

// Told when the tag line list or the tree changes, so a view can follow.
class PlaylistObserver {
  public:
    virtual ~PlaylistObserver() = default;
    // The list was emptied; the lines that follow arrive through tagLineAdded. Cutting the
    // list down to one title is told the same way: cleared, then the kept lines added again.
    virtual void tagLinesCleared() {}
    virtual void tagLineAdded(const std::string& /*line*/) {}
    // The text view is hidden while it fills and shown again at the end.
    virtual void tagViewVisible(bool /*visible*/) {}
    // The whole tree was replaced; read it from PlaylistState::tree.
    virtual void treeChanged() {}
};

// The highest track or stream number a playlist's listing has room for.
inline constexpr int kMaxListedNumber = 16;

// The video tracks and the audio and subtitle streams the last read title listed, by
// number - 1: each number counts once, at its first listing.
struct ListedTracks {
    std::array<bool, kMaxListedNumber> video{};
    std::array<bool, kMaxListedNumber> audio{};
    std::array<bool, kMaxListedNumber> subtitles{};
    bool operator==(const ListedTracks&) const = default;
};

// The number of entries an attribute table is indexed by (1..8; entry 0 is never used).
inline constexpr int kAttrTableSize = 8;

struct PlaylistState {
    PlaylistState();

    // Indexed 1..8 by the attribute items' `index`; entry 0 is never used. Program-wide:
    // an entry is only replaced when a later playlist defines the same index.
    std::array<std::string, kAttrTableSize + 1> VideoAttr;
    std::array<std::string, kAttrTableSize + 1> AudioAttr;
    std::array<std::string, kAttrTableSize + 1> SubAttr;

    std::vector<std::string> tagLines;  // mXPL
    std::vector<TreeNode> tree;         // tvXPL, top-level nodes
    bool tagViewVisible = true;
    // The frames per second of the TitleSet around the title that the last read kept (the
    // tag lines are then that title's); 0 when it found no title for the EVO file.
    std::int32_t titleTimeBase = 0;
    // What the last read listed; empty when it found no title for the EVO file.
    ListedTracks listed;

    std::vector<PlaylistObserver*> observers;

    void addObserver(PlaylistObserver* observer);
    void removeObserver(PlaylistObserver* observer);

    void clearTagLines();
    void addTagLine(std::string line);
    // Keeps only the lines [first, first + count) of the list.
    void keepTagLines(std::size_t first, std::size_t count);
    void setTagViewVisible(bool visible);
    void setTree(std::vector<TreeNode> nodes);

    // The text of table entry `index`, or an empty text for an index outside 1..8.
    static const std::string& entry(const std::array<std::string, kAttrTableSize + 1>& table,
                                    std::int64_t index);

  private:
    template <typename Call>
    void notify(Call call);
};

}  // namespace tarnwell
