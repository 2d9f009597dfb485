#include "playlist/playlist_state.h"

#include <algorithm>
#include <utility>

namespace tarnwell {

PlaylistState::PlaylistState()
    : tree{{"Video", {}}, {"Audio", {}}, {"Subpicture", {}}, {"Chapter", {}}} {}

template <typename Call>
void PlaylistState::notify(Call call) {
    // Copy: an observer may add or remove observers while being told.
    const auto listeners = observers;
    for (auto* observer : listeners) call(*observer);
}

void PlaylistState::addObserver(PlaylistObserver* observer) {
    observers.push_back(observer);
}

void PlaylistState::removeObserver(PlaylistObserver* observer) {
    observers.erase(std::remove(observers.begin(), observers.end(), observer), observers.end());
}

void PlaylistState::clearTagLines() {
    tagLines.clear();
    notify([](PlaylistObserver& o) { o.tagLinesCleared(); });
}

void PlaylistState::addTagLine(std::string line) {
    tagLines.push_back(std::move(line));
    const auto& added = tagLines.back();
    notify([&added](PlaylistObserver& o) { o.tagLineAdded(added); });
}

void PlaylistState::keepTagLines(std::size_t first, std::size_t count) {
    first = std::min(first, tagLines.size());
    count = std::min(count, tagLines.size() - first);
    if (first == 0 && count == tagLines.size()) return;
    std::vector<std::string> kept(std::make_move_iterator(tagLines.begin() + first),
                                  std::make_move_iterator(tagLines.begin() + first + count));
    clearTagLines();
    for (auto& line : kept) addTagLine(std::move(line));
}

void PlaylistState::setTagViewVisible(bool visible) {
    tagViewVisible = visible;
    notify([visible](PlaylistObserver& o) { o.tagViewVisible(visible); });
}

void PlaylistState::setTree(std::vector<TreeNode> nodes) {
    tree = std::move(nodes);
    notify([](PlaylistObserver& o) { o.treeChanged(); });
}

const std::string& PlaylistState::entry(const std::array<std::string, kAttrTableSize + 1>& table,
                                        std::int64_t index) {
    static const std::string kNone;
    return index >= 1 && index <= kAttrTableSize ? table[static_cast<std::size_t>(index)] : kNone;
}

}  // namespace tarnwell
