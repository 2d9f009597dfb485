#include "app/stream_boxes.h"

#include <QCheckBox>

#include "app/ui_text.h"

namespace tarnwell {

namespace {

int kindIndex(SlotKind kind) {
    return static_cast<int>(kind);
}

// Check box captions are shown as they are; "&" is not a shortcut marker.
QString literalCaption(const std::string& caption) {
    return qt(caption).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}  // namespace

StreamBoxes::~StreamBoxes() {
    if (bound_) selection_.removeObserver(this);
}

void StreamBoxes::attach(SlotKind kind, int n, QCheckBox* box) {
    boxes_[kindIndex(kind)][n] = box;
    QObject::connect(box, &QCheckBox::clicked, box, [this, kind, n] {
        selection_.click(kind, n);
        // The model decides; the box shows what it holds.
        show(kind, n);
    });
}

void StreamBoxes::bind() {
    selection_.addObserver(this);
    bound_ = true;
    for (auto kind : {SlotKind::Video, SlotKind::Audio, SlotKind::Subpicture})
        for (int n = 0; n < StreamSelection::slotCount(kind); ++n) show(kind, n);
}

QCheckBox* StreamBoxes::box(SlotKind kind, int n) const {
    if (n < 0 || n >= StreamSelection::slotCount(kind)) return nullptr;
    return boxes_[kindIndex(kind)][n];
}

void StreamBoxes::slotChanged(SlotKind kind, int n, SlotField) {
    show(kind, n);
}

void StreamBoxes::show(SlotKind kind, int n) {
    QCheckBox* shown = box(kind, n);
    if (!shown) return;
    const SelectionSlot& slot = selection_.slot(kind, n);
    shown->setEnabled(slot.Enabled);
    shown->setChecked(slot.Checked);
    shown->setText(literalCaption(slot.Caption));
    shown->setToolTip(tooltipOf(qt(slot.Hint)));
}

}  // namespace tarnwell
