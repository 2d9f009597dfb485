// Tarnwell: the one-window program. Its only argument is an optional file, handled as if it had
// been dropped on the window (the desktop entry's "Open with" passes one); Qt's own options
// (-platform, -style, ...) are taken by QApplication before that.
#include <QApplication>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>
#include <cstdio>

#include "app/main_window.h"
#include "app/settings.h"

namespace {

constexpr int kExitUsage = 2;

int refuse(const QString& problem) {
    std::fprintf(stderr, "tarnwell: %s\nUsage: tarnwell [FILE]\n",
                 problem.toLocal8Bit().constData());
    return kExitUsage;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    tarnwell::nameApplication();

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    if (arguments.size() > 1) return refuse(QStringLiteral("takes at most one file"));
    QString file;
    if (!arguments.isEmpty()) {
        file = arguments.front();
        if (file.startsWith(QLatin1Char('-')))
            return refuse(QStringLiteral("unknown option \"%1\"").arg(file));
        if (file.startsWith(QLatin1String("file:"))) file = QUrl(file).toLocalFile();
        // A drop brings absolute paths; the folder fields and the playlist guess need one too.
        if (!file.isEmpty()) file = QFileInfo(file).absoluteFilePath();
    }

    tarnwell::TfMain fMain;
    fMain.show();
    if (!file.isEmpty()) {
        // The stored settings hold the last folders; they are loaded before the drop, as an
        // activation would, so that they don't replace the dropped file's folder afterwards.
        fMain.FormActivate();
        fMain.WMDropFiles({file});
    }
    return application.exec();
}
