#include "window_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <type_traits>

#include "app/status_line.h"

namespace tarnwell::testing {

ConfigFolder::ConfigFolder() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
}

QString ConfigFolder::settingsFile() const {
    return dir_.path() + QStringLiteral("/Ormsby Software/Tarnwell.conf");
}

MainControls controlsOf(const QWidget& window) {
    MainControls ui;
    auto find = [&window](auto*& control, const char* name) {
        using Control = std::remove_reference_t<decltype(control)>;
        control = window.findChild<Control>(QString::fromLatin1(name));
        if (!control) qFatal("the window has no control named %s", name);
    };
#define TARNWELL_FIND(name) find(ui.name, #name)
    TARNWELL_FIND(eEVOfile), TARNWELL_FIND(bbEVO), TARNWELL_FIND(bCheck);
    TARNWELL_FIND(eXPLfile), TARNWELL_FIND(bbXPL), TARNWELL_FIND(bReadXPL);
    TARNWELL_FIND(PageControl), TARNWELL_FIND(tsStatus), TARNWELL_FIND(mMessage);
    TARNWELL_FIND(tsVideo), TARNWELL_FIND(tsAudio), TARNWELL_FIND(tsSubpicture);
    TARNWELL_FIND(tsXPL), TARNWELL_FIND(splXPL), TARNWELL_FIND(tvXPL), TARNWELL_FIND(mXPL);
    TARNWELL_FIND(tsOption), TARNWELL_FIND(gbFile), TARNWELL_FIND(lVideoExt);
    TARNWELL_FIND(eVideoExt), TARNWELL_FIND(eAudioExt), TARNWELL_FIND(eSubExt);
    TARNWELL_FIND(lWorkdir), TARNWELL_FIND(eWorkdir), TARNWELL_FIND(cbContinue);
    TARNWELL_FIND(cbFastCheck), TARNWELL_FIND(cbCountFr), TARNWELL_FIND(bDemux);
    TARNWELL_FIND(bRebuild), TARNWELL_FIND(imLogo), TARNWELL_FIND(bCancel);
    TARNWELL_FIND(StatusBar), TARNWELL_FIND(cbMatroska), TARNWELL_FIND(cbMakeMkv),
        TARNWELL_FIND(lSubForm);
    TARNWELL_FIND(cbxSubForm);
#undef TARNWELL_FIND
    return ui;
}

std::unique_ptr<StartedWindow> startWindow(bool show) {
    auto started = std::make_unique<StartedWindow>();
    started->window = std::make_unique<TfMain>();
    started->ui = controlsOf(*started->window);
    StartedWindow* raw = started.get();
    started->window->jobs().errorHook = [raw](const QString& text) { raw->errors << text; };
    started->window->host().confirmHook = [raw](const QString& question) {
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
    const MainControls ui = controlsOf(window);
    QList<bool> states;
    for (const QPushButton* button : {ui.bCheck, ui.bDemux, ui.bReadXPL, ui.bRebuild, ui.bCancel})
        states << button->isEnabled();
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
