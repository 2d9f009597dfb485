#pragma once
// Helpers for driving the real window: a private settings folder, a started window with its
// message boxes captured, and file drops as the platform delivers them.

#include <QMessageBox>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "app/main_controls.h"
#include "app/main_window.h"

namespace tarnwell::testing {

// Points the per-user settings store at a fresh empty folder for the life of the object.
class ConfigFolder {
  public:
    ConfigFolder();
    QString path() const { return dir_.path(); }
    // The INI file the store keeps its values in.
    QString settingsFile() const;

  private:
    QTemporaryDir dir_;
};

// The window's controls, each found by its object name.
MainControls controlsOf(const QWidget& window);

// A window with its error box and Cancel question captured instead of shown.
struct StartedWindow {
    std::unique_ptr<TfMain> window;
    MainControls ui;
    QStringList errors;
    QStringList questions;
    bool answer = false;

    TfMain* operator->() const { return window.get(); }
    TfMain& operator*() const { return *window; }
};

// Creates the window; when `show` is set, shows it and lets its first activation (settings,
// then the reset of the stream boxes) run.
std::unique_ptr<StartedWindow> startWindow(bool show = true);

// Delivers a drop of local files to the window, as dragging them over and letting go does.
bool dropFiles(TfMain& window, const QStringList& paths);

// The enabled state each command button shows, in the order bCheck, bDemux, bReadXPL,
// bRebuild, bCancel.
QList<bool> shownCommandStates(const TfMain& window);

// Answers the next modal message box as a user would: records its title, text, icon and
// buttons, then presses the button with the given text.
class ModalBoxAnswer : public QObject {
  public:
    explicit ModalBoxAnswer(const QString& button);

    bool answered = false;
    QString title, text, defaultButton;
    QStringList buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;

  private:
    void poll();
    QString button_;
    QTimer timer_;
};

}  // namespace tarnwell::testing
