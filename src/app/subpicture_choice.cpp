#include "app/subpicture_choice.h"

#include <QCheckBox>
#include <QComboBox>

namespace tarnwell {

void SubpictureChoice::bind(QCheckBox* matroska, QComboBox* form) {
    matroska_ = matroska;
    form_ = form;
    // In the order of `SubpictureForm`: the item's text and its hint.
    const char* items[kSubpictureFormCount][2] = {
        {"Raw with time stamps", "The bare stream and a .pts file of 4-byte time stamps"},
        {"HD-DVD SUP", "One record per subpicture unit with its time stamp"},
        {"Blu-ray PGS", "Blu-ray presentation graphics, as mkvmerge reads them"}};
    for (int i = 0; i < kSubpictureFormCount; ++i) {
        form_->addItem(QString::fromLatin1(items[i][0]));
        form_->setItemData(i, QString::fromLatin1(items[i][1]), Qt::ToolTipRole);
    }
    form_->setCurrentIndex(static_cast<int>(chosen_));
    // While the box is ticked the choice is disabled, so only the user's own picks land here.
    QObject::connect(form_, &QComboBox::currentIndexChanged, form_, [this](int index) {
        if (form_->isEnabled() && index >= 0) chosen_ = static_cast<SubpictureForm>(index);
    });
    QObject::connect(matroska_, &QCheckBox::toggled, form_, [this] { follow(); });
    follow();
}

void SubpictureChoice::choose(SubpictureForm form) {
    chosen_ = form;
    follow();
}

void SubpictureChoice::follow() {
    const bool implied = matroska_->isChecked();
    if (implied) {
        form_->setEnabled(false);
        form_->setCurrentIndex(static_cast<int>(SubpictureForm::Pgs));
    } else {
        form_->setCurrentIndex(static_cast<int>(chosen_));
        form_->setEnabled(true);
    }
}

}  // namespace tarnwell
