#include "app/status_line.h"

namespace tarnwell {

StatusLine::StatusLine(QWidget* parent) : QStatusBar(parent), widths_{0, 0} {
    for (int panel = 0; panel < 2; ++panel) {
        auto* label = new QLabel(this);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setMargin(0);
        label->setMinimumWidth(0);
        label->setTextFormat(Qt::PlainText);
        labels_[panel] = label;
    }
    // A long detail text is cut at the window's edge rather than widening the bar.
    labels_[1]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    addWidget(labels_[0], 0);
    addWidget(labels_[1], 1);
}

void StatusLine::setPanel(int panel, const QString& text, int width) {
    labels_[panel]->setText(text);
    widths_[panel] = width;
    if (panel == 0) labels_[0]->setFixedWidth(width);
}

QString StatusLine::panelText(int panel) const {
    return labels_[panel]->text();
}

}  // namespace tarnwell
