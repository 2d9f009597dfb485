#include "app/browse_glyph.h"

#include <QImage>
#include <QPainter>
#include <QPolygon>

namespace tarnwell {

namespace {

constexpr int kGlyphSize = 16;

struct GlyphColours {
    QColor outline, back, front, dots;
};

QPixmap drawFolder(const GlyphColours& colours) {
    QImage image(kGlyphSize, kGlyphSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(colours.outline);
    // Back of the folder with its tab.
    painter.setBrush(colours.back);
    painter.drawPolygon(QPolygon({{1, 3}, {6, 3}, {7, 5}, {13, 5}, {13, 13}, {1, 13}}));
    // Front flap, opened towards the viewer.
    painter.setBrush(colours.front);
    painter.drawPolygon(QPolygon({{1, 13}, {3, 7}, {15, 7}, {13, 13}}));
    // Three dots: "choose a file".
    painter.setPen(Qt::NoPen);
    painter.setBrush(colours.dots);
    for (int x : {5, 8, 11}) painter.drawRect(x, 10, 1, 1);
    painter.end();
    return QPixmap::fromImage(image);
}

}  // namespace

QPixmap browseGlyph() {
    return drawFolder({QColor(0x80, 0x60, 0x10), QColor(0xe8, 0xb8, 0x40), QColor(0xf8, 0xd8, 0x70),
                       QColor(0x40, 0x30, 0x08)});
}

QPixmap greyedBrowseGlyph() {
    return drawFolder({QColor(0x98, 0x98, 0x98), QColor(0xc8, 0xc8, 0xc8), QColor(0xdc, 0xdc, 0xdc),
                       QColor(0x98, 0x98, 0x98)});
}

QIcon browseIcon() {
    QIcon icon;
    icon.addPixmap(browseGlyph(), QIcon::Normal);
    icon.addPixmap(greyedBrowseGlyph(), QIcon::Disabled);
    return icon;
}

}  // namespace tarnwell
