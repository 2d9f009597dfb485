#pragma once
// What the playlist reader keeps between reads: the attribute tables, the tag line list shown
// in the XPL tab's text view, and the tree shown beside it.

#include <array>
#include <string>
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
    virtual void tagLinesCleared() {}
    virtual void tagLineAdded(const std::string& /*line*/) {}
    // The text view is hidden while it fills and shown again at the end.
    virtual void tagViewVisible(bool /*visible*/) {}
    virtual void treeChanged() {}
};

struct PlaylistState {
    PlaylistState();

    // Indexed 1..8 by the attribute items' `index`; entry 0 is never used. Program-wide:
    // an entry is only replaced when a later playlist defines the same index.
    std::array<std::string, 9> VideoAttr;
    std::array<std::string, 9> AudioAttr;
    std::array<std::string, 9> SubAttr;

    std::vector<std::string> tagLines;  // mXPL
    std::vector<TreeNode> tree;         // tvXPL, top-level nodes
    bool tagViewVisible = true;

    std::vector<PlaylistObserver*> observers;
};

}  // namespace tarnwell
