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
    return firstInstalled({"Tahoma", "DejaVu Sans Condensed", "Liberation Sans", "DejaVu Sans"},
                          QFont::SansSerif);
}

QFont monospaceFont() {
    QFont font = firstInstalled(
        {"Courier New", "Liberation Mono", "DejaVu Sans Mono", "Noto Mono", "monospace"},
        QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

}  // namespace tarnwell
