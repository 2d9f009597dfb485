#pragma once
// Texts from the core as the window shows them.

#include <QString>
#include <string_view>

namespace tarnwell {

// The application title: the window's icon (task-bar) title and the caption of the error box.
// It is not Qt's application display name, which the platforms append to every caption.
inline constexpr const char* kApplicationTitle = "HD DVD Tarnwell";

// The core's UTF-8 text as a Qt string.
inline QString qt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A hint holds a short tooltip, then optionally "|" and a long hint that isn't shown.
inline QString tooltipOf(const QString& hint) {
    return hint.section(QLatin1Char('|'), 0, 0);
}

}  // namespace tarnwell
