#pragma once
// The playlist state as the XPL tab shows it: the tag lines in the text view `mXPL` and the
// tree in `tvXPL`.

#include <QStringList>

#include "playlist/playlist_state.h"

class QPlainTextEdit;
class QTreeWidget;

namespace tarnwell {

class PlaylistView : private PlaylistObserver {
  public:
    explicit PlaylistView(PlaylistState& playlist) : playlist_(playlist) {}
    ~PlaylistView() override;
    PlaylistView(const PlaylistView&) = delete;
    PlaylistView& operator=(const PlaylistView&) = delete;

    // Shows the state in the two views and follows it from now on.
    void bind(QTreeWidget* tree, QPlainTextEdit* tags);

  private:
    void tagLinesCleared() override;
    void tagLineAdded(const std::string& line) override;
    void tagViewVisible(bool visible) override;
    void treeChanged() override;

    PlaylistState& playlist_;
    QTreeWidget* tree_ = nullptr;
    QPlainTextEdit* tags_ = nullptr;
    QStringList pendingTagLines_;
};

}  // namespace tarnwell
