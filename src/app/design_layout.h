#pragma once
// Places controls at their design rectangles and keeps them at their anchored edges when the
// client area grows or shrinks: a control anchored left and right stretches, one anchored
// right only moves with the right edge, one with neither keeps its centre in proportion.

#include <QRect>
#include <QSize>
#include <QWidget>
#include <vector>

namespace tarnwell {

enum Anchor : unsigned {
    AnchorLeft = 1,
    AnchorTop = 2,
    AnchorRight = 4,
    AnchorBottom = 8,
    AnchorAll = AnchorLeft | AnchorTop | AnchorRight | AnchorBottom,
};

class DesignLayout {
  public:
    explicit DesignLayout(QSize designClient) : design_(designClient) {}

    void add(QWidget* widget, QRect designRect, unsigned anchors);
    // The rectangle a control takes in a client area of the given size.
    QRect placed(QRect designRect, unsigned anchors, QSize client) const;
    void apply(QSize client) const;

  private:
    struct Entry {
        QWidget* widget;
        QRect design;
        unsigned anchors;
    };
    QSize design_;
    std::vector<Entry> entries_;
};

}  // namespace tarnwell
