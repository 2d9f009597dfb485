#include "app/playlist_view.h"

#include <QPlainTextEdit>
#include <QTreeWidget>
#include <functional>

#include "app/ui_text.h"

namespace tarnwell {

PlaylistView::~PlaylistView() {
    if (tree_) playlist_.removeObserver(this);
}

void PlaylistView::bind(QTreeWidget* tree, QPlainTextEdit* tags) {
    tree_ = tree;
    tags_ = tags;
    playlist_.addObserver(this);
    treeChanged();
    tagViewVisible(playlist_.tagViewVisible);
}

void PlaylistView::tagLinesCleared() {
    pendingTagLines_.clear();
    tags_->clear();
}

void PlaylistView::tagLineAdded(const std::string& line) {
    // While the view is hidden the lines are gathered and shown in one go.
    if (tags_->isHidden())
        pendingTagLines_ << qt(line);
    else
        tags_->appendPlainText(qt(line));
}

void PlaylistView::tagViewVisible(bool visible) {
    if (visible && !pendingTagLines_.isEmpty()) {
        const QString lines = pendingTagLines_.join(QLatin1Char('\n'));
        pendingTagLines_.clear();
        // A view filled anew starts at the top.
        if (tags_->document()->isEmpty())
            tags_->setPlainText(lines);
        else
            tags_->appendPlainText(lines);
    }
    tags_->setVisible(visible);
}

void PlaylistView::treeChanged() {
    tree_->clear();
    std::function<void(QTreeWidgetItem*, const TreeNode&)> addChildren = [&](QTreeWidgetItem* item,
                                                                             const TreeNode& node) {
        for (const auto& child : node.children) {
            auto* childItem = new QTreeWidgetItem(item, QStringList(qt(child.text)));
            addChildren(childItem, child);
        }
    };
    for (const auto& node : playlist_.tree) {
        auto* item = new QTreeWidgetItem(tree_, QStringList(qt(node.text)));
        addChildren(item, node);
    }
    tree_->expandAll();
}

}  // namespace tarnwell
