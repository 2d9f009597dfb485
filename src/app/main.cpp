// Tarnwell: the one-window program. No command-line arguments of its own.
#include <QApplication>

#include "app/main_window.h"
#include "app/settings.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    tarnwell::nameApplication();

    tarnwell::TfMain fMain;
    fMain.show();
    return application.exec();
}
