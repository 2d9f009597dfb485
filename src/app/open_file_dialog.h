#pragma once
// An open-file dialog that keeps its settings and its file name between uses, so that a
// cancelled dialog still has the name it held before.

#include <QString>
#include <functional>

class QWidget;

namespace tarnwell {

struct OpenFileDialog {
    QString title;          // empty: the platform's default title
    QString filter;         // "Description (patterns)"
    QString defaultSuffix;  // without dot
    bool fileMustExist = false;

    QString initialDir;
    QString fileName;  // the last chosen file, or a preset name

    // Shows the dialog; on a choice `fileName` becomes the chosen path. True for a choice.
    bool execute(QWidget* parent);

    // Replaces the real dialog (tests): gets the dialog, may set `fileName`, returns the choice.
    std::function<bool(OpenFileDialog&)> runner;
};

}  // namespace tarnwell
