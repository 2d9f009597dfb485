#pragma once
// The 16 x 16 glyph of the two browse buttons: an open folder, and its greyed form for the
// disabled state.

#include <QIcon>
#include <QPixmap>

namespace tarnwell {

QPixmap browseGlyph();
QPixmap greyedBrowseGlyph();
// Both glyphs as one icon (normal and disabled modes).
QIcon browseIcon();

}  // namespace tarnwell
