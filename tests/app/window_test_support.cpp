#include "window_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QUrl>

namespace tarnwell::testing {

ConfigFolder::ConfigFolder() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
}

QString ConfigFolder::settingsFile() const {
    return dir_.path() + QStringLiteral("/Ormsby Software/Tarnwell.conf");
}

std::unique_ptr<StartedWindow> startWindow(bool show) {
    auto started = std::make_unique<StartedWindow>();
    started->window = std::make_unique<TfMain>();
    StartedWindow* raw = started.get();
    started->window->errorHook = [raw](const QString& text) { raw->errors << text; };
    started->window->confirmHook = [raw](const QString& question) {
        raw->questions << question;
        return raw->answer;
    };
    if (show) {
        started->window->show();
        if (!QTest::qWaitForWindowActive(started->window.get())) started->window->activateWindow();
        // The first activation loads the settings from a queued call.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    return started;
}

bool dropFiles(TfMain& window, const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const auto& path : paths) urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    const QPointF where(window.width() / 2.0, window.height() / 2.0);
    QDragEnterEvent enter(where.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(where, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
    return drop.isAccepted();
}

QList<bool> shownCommandStates(const TfMain& window) {
    QList<bool> states;
    for (auto command :
         {Command::ReadEvo, Command::Demux, Command::ReadXpl, Command::Rebuild, Command::Cancel})
        states << window.commandButton(command)->isEnabled();
    return states;
}

ModalBoxAnswer::ModalBoxAnswer(const QString& button) : button_(button) {
    connect(&timer_, &QTimer::timeout, this, &ModalBoxAnswer::poll);
    timer_.start(5);
}

void ModalBoxAnswer::poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || answered) return;
    answered = true;
    timer_.stop();
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    if (box->defaultButton()) defaultButton = box->defaultButton()->text();
    for (auto* b : box->buttons()) buttons << b->text();
    for (auto* b : box->buttons())
        if (b->text() == button_) {
            b->click();
            return;
        }
    box->reject();
}

}  // namespace tarnwell::testing
