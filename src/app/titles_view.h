#pragma once
// The Titles tab: every title of a disc's playlist in a list, a check box per title, and the
// Make MKV button. The tab shows the disc model as it was last opened, or the one-line error
// that kept it from opening; the longest complete title starts ticked.

#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "disc/disc_model.h"

class QLabel;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QWidget;

namespace tarnwell {

class TitlesView {
  public:
    // Builds the tab `tsTitles` (list `tvTitles`, line `lTitles`, button `bMakeMkv`) as the
    // last page of `pages`, hidden until a disc or its error is shown. `makeAvailable` tells
    // whether a Make MKV job is connected: the button is enabled only then, with a disc shown
    // and a title ticked.
    void create(QTabWidget* pages, std::function<bool()> makeAvailable);

    void showDisc(disc::Disc disc);
    void showError(const QString& text);

    QWidget* page() const { return page_; }
    QPushButton* makeMkvButton() const { return button_; }
    // The disc shown, none after an error or before the first.
    const disc::Disc* disc() const { return disc_ ? &*disc_ : nullptr; }
    // The numbers of the ticked titles, in list order.
    std::vector<int> tickedTitles() const;
    // Enables the button where it may act (`jobActive`: a job runs).
    void updateButton(bool jobActive = false);

  private:
    void reveal();

    QTabWidget* pages_ = nullptr;
    QWidget* page_ = nullptr;
    QLabel* line_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QPushButton* button_ = nullptr;
    std::function<bool()> makeAvailable_;
    std::optional<disc::Disc> disc_;
};

}  // namespace tarnwell
