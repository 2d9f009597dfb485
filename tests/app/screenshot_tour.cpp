// Takes the screenshots of the user guide: runs the real window on a display (Xvfb), reads the
// sample disc and grabs the screen after each step.
//   app_screenshot_tour SAMPLE_DISC_DIR OUTPUT_DIR
// The settings go to a temporary folder, so the user's own are neither read nor written.

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>
#include <cstdio>

#include "app/main_window.h"
#include "app/settings.h"
#include "window_test_support.h"

namespace {

bool grab(const tarnwell::TfMain& window, const QString& path) {
    QTest::qWait(300);
    const QRect area = window.frameGeometry();
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(),
                                                                      area.width(), area.height());
    if (!shot.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    tarnwell::nameApplication();
    if (argc != 3) {
        std::fputs("usage: app_screenshot_tour SAMPLE_DISC_DIR OUTPUT_DIR\n", stderr);
        return 2;
    }
    const QString disc = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QDir out(QString::fromLocal8Bit(argv[2]));
    tarnwell::testing::ConfigFolder config;

    tarnwell::TfMain window;
    bool ok = true;
    // An error would stop the tour at a modal box; report it instead.
    window.jobs().errorHook = [&ok](const QString& text) {
        std::fprintf(stderr, "error: %s\n", qPrintable(text));
        ok = false;
    };
    window.show();
    if (!QTest::qWaitForWindowActive(&window)) window.activateWindow();
    QTest::qWait(200);

    const tarnwell::MainControls ui = tarnwell::testing::controlsOf(window);
    tarnwell::testing::dropFiles(window, {disc + "/HVDVD_TS/FEATURE_1.EVO"});
    ui.bCheck->click();
    ok = grab(window, out.filePath("window-read-evo.png")) && ok;
    ui.PageControl->setCurrentWidget(ui.tsAudio);
    ok = grab(window, out.filePath("window-audio-streams.png")) && ok;
    ui.PageControl->setCurrentWidget(ui.tsOption);
    ok = grab(window, out.filePath("window-options.png")) && ok;

    // A user widens the window and the tree to read the playlist.
    window.resize(620, 440);
    ui.bReadXPL->click();
    window.setTreeWidth(250);
    ok = grab(window, out.filePath("window-read-xpl.png")) && ok;

    // The whole disc: its folder dropped on the window lists every title.
    window.resize(900, 440);
    tarnwell::testing::dropFiles(window, {disc});
    ok = grab(window, out.filePath("window-titles.png")) && ok;
    return ok ? 0 : 1;
}
