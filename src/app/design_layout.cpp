#include "app/design_layout.h"

namespace tarnwell {

namespace {

// One axis: start and length for a control anchored at its near and/or far edge.
void placeAxis(int designStart, int designLength, bool nearEdge, bool farEdge, int growth,
               int* start, int* length) {
    *start = designStart;
    *length = designLength;
    if (nearEdge && farEdge) {
        *length = designLength + growth;
    } else if (farEdge) {
        *start = designStart + growth;
    } else if (!nearEdge) {
        *start = designStart + growth / 2;
    }
}

}  // namespace

void DesignLayout::add(QWidget* widget, QRect designRect, unsigned anchors) {
    entries_.push_back({widget, designRect, anchors});
}

QRect DesignLayout::placed(QRect designRect, unsigned anchors, QSize client) const {
    int x, width, y, height;
    placeAxis(designRect.x(), designRect.width(), anchors & AnchorLeft, anchors & AnchorRight,
              client.width() - design_.width(), &x, &width);
    placeAxis(designRect.y(), designRect.height(), anchors & AnchorTop, anchors & AnchorBottom,
              client.height() - design_.height(), &y, &height);
    return QRect(x, y, std::max(width, 0), std::max(height, 0));
}

void DesignLayout::apply(QSize client) const {
    for (const auto& entry : entries_)
        entry.widget->setGeometry(placed(entry.design, entry.anchors, client));
}

}  // namespace tarnwell
