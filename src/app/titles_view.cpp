#include "app/titles_view.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/ui_text.h"
#include "disc/title_summary.h"

namespace tarnwell {

namespace {

enum Column { Number, Name, Duration, Files, Audio, Subtitles, Chapters, kColumns };
constexpr int kWidestColumn = 200;

}  // namespace

void TitlesView::create(QTabWidget* pages, std::function<bool()> makeAvailable) {
    makeAvailable_ = std::move(makeAvailable);
    page_ = new QWidget(pages);
    page_->setObjectName(QStringLiteral("tsTitles"));

    line_ = new QLabel(page_);
    line_->setObjectName(QStringLiteral("lTitles"));
    line_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    line_->setWordWrap(true);

    list_ = new QTreeWidget(page_);
    list_->setObjectName(QStringLiteral("tvTitles"));
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setColumnCount(kColumns);
    list_->setHeaderLabels({QStringLiteral("#"), QStringLiteral("Name"), QStringLiteral("Duration"),
                            QStringLiteral("Files"), QStringLiteral("Audio"),
                            QStringLiteral("Subtitles"), QStringLiteral("Chapters")});
    list_->header()->setStretchLastSection(false);
    list_->setToolTip(QStringLiteral("Tick the titles to make into MKV files"));

    button_ = new QPushButton(QStringLiteral("Make MKV"), page_);
    button_->setObjectName(QStringLiteral("bMakeMkv"));
    button_->setToolTip(
        QStringLiteral("Make one MKV file per ticked title in the output folder of the Options"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(line_, 1);
    buttons->addWidget(button_);
    auto* layout = new QVBoxLayout(page_);
    layout->setContentsMargins(0, 0, 0, 3);
    layout->setSpacing(3);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);

    QObject::connect(list_, &QTreeWidget::itemChanged, button_,
                     [this](QTreeWidgetItem*, int column) {
                         if (column == Number) updateButton();
                     });
    pages->addTab(page_, QStringLiteral("Titles"));
    // Seven tabs do not fit the window's design width: the tab waits for a disc.
    pages_ = pages;
    pages->setTabVisible(pages->indexOf(page_), false);
    updateButton();
}

void TitlesView::showDisc(disc::Disc disc) {
    reveal();
    disc_ = std::move(disc);
    const QSignalBlocker quiet(list_);
    list_->clear();
    const disc::Title* longest = disc::longestCompleteTitle(*disc_);
    for (const auto& title : disc_->titles) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(Number, QString::number(title.number));
        item->setText(Name, qt(title.name));
        item->setText(Duration, qt(disc::durationText(title)));
        item->setText(Files, qt(disc::filesText(title)));
        item->setText(Audio, qt(disc::tracksText(title.audio)));
        item->setText(Subtitles, qt(disc::tracksText(title.subtitles)));
        item->setText(Chapters, QString::number(title.chapters.size()));
        item->setTextAlignment(Number, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(Duration, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(Chapters, Qt::AlignRight | Qt::AlignVCenter);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Number, &title == longest ? Qt::Checked : Qt::Unchecked);
        for (int column = Name; column < kColumns; ++column)
            item->setToolTip(column, item->text(column));
        if (!disc::complete(title))
            item->setForeground(Files, list_->palette().brush(QPalette::Disabled, QPalette::Text));
    }
    // Long track lists are cut at a width that leaves the other columns in view; the tooltip
    // holds the whole text.
    for (int column = 0; column < kColumns; ++column) {
        list_->resizeColumnToContents(column);
        list_->setColumnWidth(column, std::min(list_->columnWidth(column), kWidestColumn));
    }
    const auto count = disc_->titles.size();
    QString line = qt(disc_->playlist.generic_string());
    if (!disc_->name.empty()) line = qt(disc_->name) + QStringLiteral(", ") + line;
    line_->setText(line + QStringLiteral(": %1 title%2").arg(count).arg(count == 1 ? "" : "s"));
    line_->setToolTip(qt(disc_->root.string()));
    updateButton();
}

void TitlesView::showError(const QString& text) {
    reveal();
    disc_.reset();
    list_->clear();
    line_->setText(text);
    line_->setToolTip(text);
    updateButton();
}

void TitlesView::reveal() {
    pages_->setTabVisible(pages_->indexOf(page_), true);
}

std::vector<int> TitlesView::tickedTitles() const {
    std::vector<int> numbers;
    if (!disc_) return numbers;
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        if (list_->topLevelItem(i)->checkState(Number) == Qt::Checked)
            numbers.push_back(disc_->titles[static_cast<std::size_t>(i)].number);
    return numbers;
}

void TitlesView::updateButton(bool jobActive) {
    button_->setEnabled(!jobActive && makeAvailable_ && makeAvailable_() && disc_ &&
                        !tickedTitles().empty());
}

}  // namespace tarnwell
