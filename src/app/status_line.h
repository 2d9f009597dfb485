#pragma once
// The two-panel status line at the bottom of the window. Panel 0 is as wide as its width value;
// panel 1, the last one, takes the rest of the bar. The bar's tooltip is its hover hint.

#include <QLabel>
#include <QStatusBar>
#include <QString>

namespace tarnwell {

class StatusLine : public QStatusBar {
    Q_OBJECT
  public:
    explicit StatusLine(QWidget* parent = nullptr);

    // Text and width as given; the caller applies the sizing rule.
    void setPanel(int panel, const QString& text, int width);
    QString panelText(int panel) const;
    int panelWidth(int panel) const { return widths_[panel]; }
    QLabel* panelLabel(int panel) const { return labels_[panel]; }

  private:
    QLabel* labels_[2];
    int widths_[2];
};

}  // namespace tarnwell
