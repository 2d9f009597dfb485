#include "app/ui_fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace tarnwell {

namespace {

constexpr int kPointSize = 8;

QFont firstInstalled(const QStringList& families, QFont::StyleHint hint) {
    const QStringList installed = QFontDatabase::families();
    for (const auto& family : families) {
        if (installed.contains(family, Qt::CaseInsensitive)) {
            QFont font(family, kPointSize);
            font.setStyleHint(hint);
            return font;
        }
    }
    // None of them: let the font configuration pick its closest match for the first.
    QFont font(families.front(), kPointSize);
    font.setStyleHint(hint);
    return font;
}

}  // namespace

QFont controlFont() {
    // Tahoma is a narrow humanist sans; the condensed DejaVu keeps captions within the same
    // widths, where the regular DejaVu Sans (a wide face) would run into neighbouring controls.
    QFont font =
        firstInstalled({"Tahoma", "DejaVu Sans Condensed", "DejaVu Sans"}, QFont::SansSerif);
    // Without a narrow face, the wide one is drawn narrower to keep to the design widths.
    if (font.family() == QLatin1String("DejaVu Sans")) font.setStretch(QFont::SemiCondensed);
    return font;
}

QFont monospaceFont() {
    QFont font = firstInstalled(
        {"Courier New", "Liberation Mono", "DejaVu Sans Mono", "Noto Mono", "monospace"},
        QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

}  // namespace tarnwell
