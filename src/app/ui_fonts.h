#pragma once
// The window's fonts: Tahoma 8 pt for the controls when the system has it, else the nearest
// sans; Courier New 8 pt (or the system's monospace font) for the playlist text view.

#include <QFont>

namespace tarnwell {

QFont controlFont();
QFont monospaceFont();

}  // namespace tarnwell
