// Tarnwell: the one-window program. No command-line arguments of its own.
#include <QApplication>

#include "app/main_window.h"
#include "app/settings.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("HD DVD Tarnwell"));
    QApplication::setOrganizationName(QString::fromLatin1(tarnwell::kOrganisation));
    QApplication::setApplicationName(QString::fromLatin1(tarnwell::kApplication));

    tarnwell::TfMain fMain;
    fMain.show();
    return application.exec();
}
